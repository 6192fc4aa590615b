#pragma once

#include "CliCommand.h"
#include "StoreOptions.h"

#include <QList>
#include <QString>
#include <QStringList>

// The command line of tarvo-cli:
//   tarvo-cli --port PORT... --device NAME [--file FILE.hex] [--output FILE.hex]
//             [--json] [-q | -v] [-n] [production options] COMMAND...
//   tarvo-cli --list-ports [--json]
// Parsing checks the syntax only; whether the device knows a command is
// decided once the device is known. A device name is taken in any case and
// given back in the catalogue's spelling.
class CliOptions
{
public:
    // The one port of this process; empty when several are given.
    QString port;
    // Every --port, in order.
    QStringList ports;
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
    // Production: the values as given, and what they make.
    QString logFile;
    QString serialSpec;
    QString serialForm;
    QString serialBytes;
    QString serialState;
    QString database;
    QString serialSequence;
    bool repeat = false;
    // --report [--since DATE] [--csv]: the records in --db, no device.
    bool report = false;
    QString since;
    bool csv = false;
    StoreOptions stores;
    // This process runs one port of several for a parent tarvo-cli (set
    // from the environment): it reports each device and a summary.
    bool portChild = false;
    bool listPorts = false;
    QList<CliCommand> commands;

    // A production run: one record, serial number and summary per device.
    bool production() const
    {
        return repeat || portChild || !stores.logFile.isEmpty() || stores.serial.has_value() || !stores.database.isEmpty();
    }
    // Several programmers at once: one process per port; "auto-all" is
    // every port a programmer answers on.
    static constexpr char AllPorts[] = "auto-all";
    bool severalPorts() const { return ports.size() > 1 || ports == QStringList{QLatin1String(AllPorts)}; }

    // Empty when the command line is usable.
    QString error;

    // The arguments without the program name.
    static CliOptions parse(const QStringList &arguments);
};
