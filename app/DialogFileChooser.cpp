#include "DialogFileChooser.h"

#include <QFileDialog>

// The text before the patterns is what the operator sees; the patterns list
// both cases, since the files come from tools of either habit.
const QString DialogFileChooser::OpenFilter =
    QStringLiteral("All Hex  Files (*.Hex,*.Rom) (*.HEX *.ROM *.Hex *.Rom *.hex *.rom)");
const QString DialogFileChooser::SaveFilter = QStringLiteral("All Hex  Files (*.Hex) (*.Hex *.HEX *.hex)");

static QString runDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &filter)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(filter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString DialogFileChooser::openFileName()
{
    return runDialog(m_parent, QFileDialog::AcceptOpen, OpenFilter);
}

QString DialogFileChooser::saveFileName()
{
    return runDialog(m_parent, QFileDialog::AcceptSave, SaveFilter);
}
