#pragma once

#include <QString>

// Asks the operator for a file to open or a name to save under; an empty
// result means the dialog was cancelled. The window shows real file
// dialogs; tests hand over their own paths.
class FileChooser
{
public:
    virtual ~FileChooser() = default;
    virtual QString openFileName() = 0;
    virtual QString saveFileName() = 0;
    // A production job (.tarvojob) to open or save; a chooser without job
    // dialogs answers as cancelled.
    virtual QString openJobName() { return QString(); }
    virtual QString saveJobName() { return QString(); }
};
