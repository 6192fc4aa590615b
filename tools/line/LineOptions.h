#pragma once

#include "ListenAddress.h"

#include <QString>
#include <QStringList>

// tarvo-line's command line:
//   tarvo-line --db LOCATION [--listen ADDR:PORT] [--token-file FILE]
//   tarvo-line --help | --version
struct LineOptions
{
    QString database;
    ListenAddress listen;
    QString tokenFile;
    bool help = false;
    bool version = false;
    // Why the command line is refused; empty when it is not.
    QString error;

    static LineOptions parse(const QStringList &arguments);
    static QString helpText();
};
