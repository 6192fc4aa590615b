#include "SecondaryWindows.h"

#include <QDialog>

static QDialog *makeHidden(const SecondaryWindows::Factory &factory, QWidget *parent)
{
    if (!factory)
        return nullptr;
    QDialog *dialog = factory(parent);
    if (dialog)
        dialog->hide();
    return dialog;
}

void SecondaryWindows::create(const Factories &factories, QWidget *parent)
{
    m_aboutBox = makeHidden(factories.aboutBox, parent);
    m_editForm = makeHidden(factories.editForm, parent);
    m_fuseForm = makeHidden(factories.fuseForm, parent);
    m_adapterForm = makeHidden(factories.adapterForm, parent);
}
