#pragma once

#include "CliCommand.h"

#include <QList>
#include <QString>
#include <QStringList>

// The command line of tarvo-cli:
//   tarvo-cli --port PORT --device NAME [--file FILE.hex] [--output FILE.hex]
//             [--json] [-q | -v] [-n] COMMAND...
//   tarvo-cli --list-ports [--json]
// Parsing checks the syntax only; whether the device knows a command is
// decided once the device is known. A device name is taken in any case and
// given back in the catalogue's spelling.
class CliOptions
{
public:
    QString port;
    QString device;
    QString file;
    QString output;
    bool json = false;
    bool quiet = false;
    bool verbose = false;
    bool dryRun = false;
    bool help = false;
    bool version = false;
    bool listDevices = false;
    bool listPorts = false;
    QList<CliCommand> commands;

    // Empty when the command line is usable.
    QString error;

    // The arguments without the program name.
    static CliOptions parse(const QStringList &arguments);
    static QString helpText();
    static QString versionText();
};
