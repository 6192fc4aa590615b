#pragma once

#include "StoreOptions.h"

#include <QString>
#include <QStringList>

// The window's command line: where the production records go. --log FILE
// (or --log=FILE), else TARVO_LOG; --db LOCATION (or --db=LOCATION), else
// TARVO_DB, which takes the records in place of the log. Anything else on
// the line is left to the toolkit and to other readers.
class WindowOptions
{
public:
    // arguments: the program's name first, as QCoreApplication::arguments().
    static WindowOptions parse(const QStringList &arguments);

    // Empty when the line can be used; otherwise why not, for an error box.
    QString error;
    StoreOptions stores;
};
