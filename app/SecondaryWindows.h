#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>

// The four dialogs of the program: created once, hidden, at start-up in the
// order about box, buffer viewer, fuse editor, adapter notice, and reused
// for every showing. Each is made by a factory that main() hands over, so
// the window does not depend on the dialogs' modules.
class SecondaryWindows
{
public:
    using Factory = std::function<QDialog *(QWidget *parent)>;
    struct Factories
    {
        Factory aboutBox;
        Factory editForm;
        Factory fuseForm;
        Factory adapterForm;
    };

    // Creates the dialogs as children of parent (destroyed with it).
    void create(const Factories &factories, QWidget *parent);

    QDialog *aboutBox() const { return m_aboutBox; }
    QDialog *editForm() const { return m_editForm; }
    QDialog *fuseForm() const { return m_fuseForm; }
    QDialog *adapterForm() const { return m_adapterForm; }

private:
    QPointer<QDialog> m_aboutBox;
    QPointer<QDialog> m_editForm;
    QPointer<QDialog> m_fuseForm;
    QPointer<QDialog> m_adapterForm;
};
