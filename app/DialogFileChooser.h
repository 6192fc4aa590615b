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
    QString openJobName() override;
    QString saveJobName() override;

    static const QString OpenFilter;
    static const QString JobFilter;
    static const QString SaveFilter;
    // What the dialog shows for a filter: its text before the patterns,
    // blanks as written ("All Hex  Files (*.Hex)").
    static QString filterName(const QString &filter);

private:
    QWidget *m_parent;
};
