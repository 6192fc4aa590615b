#pragma once

#include "FileChooser.h"

class QWidget;

// The open and save dialogs of the File menu, with their filters. Neither
// adds an extension: a name typed without one is used as typed, and the
// overwrite question is the program's own, not the dialog's.
class DialogFileChooser : public FileChooser
{
public:
    explicit DialogFileChooser(QWidget *parent) : m_parent(parent) {}

    QString openFileName() override;
    QString saveFileName() override;

    static const QString OpenFilter;
    static const QString SaveFilter;

private:
    QWidget *m_parent;
};
