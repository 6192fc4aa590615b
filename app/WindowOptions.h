#pragma once

#include "StoreOptions.h"

#include <QString>
#include <QStringList>

// The window's command line. Where the production records go: --log FILE
// (or --log=FILE), else TARVO_LOG; --db LOCATION (or --db=LOCATION), else
// TARVO_DB, which takes the records in place of the log. --job FILE opens
// a production job (which says where records go: no --log or --db). --keep-run-focus
// (or TARVO_KEEP_RUN_FOCUS=1); --help and --version print and end the
// program. Anything else on the line is left to the toolkit (-platform ...).
class WindowOptions
{
public:
    // arguments: the program's name first, as QCoreApplication::arguments().
    static WindowOptions parse(const QStringList &arguments);
    // The arguments before an application exists (--help needs no display).
    static QStringList arguments(int argc, char *argv[]);

    // Empty when the line can be used; otherwise why not, for an error box.
    QString error;
    StoreOptions stores;
    // --job FILE: the window opens in operator mode on that job.
    QString job;
    bool keepRunFocus = false;
    // The help or version text: printed instead of opening the window.
    QString printOnly;
};
