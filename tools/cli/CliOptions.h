#pragma once

#include "CliCommand.h"
#include "StoreOptions.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

// The command line of tarvo-cli:
//   tarvo-cli --port PORT... --device NAME [--file FILE.hex] [--output FILE.hex]
//             [--json] [-q | -v] [-n] [production options] COMMAND...
//   tarvo-cli --list-ports [--json]
// Parsing picks what the process does (its mode) and checks the syntax
// only; whether the device knows a command is decided once the device is
// known. A device name is taken in any case and given back in the
// catalogue's spelling.
class CliOptions
{
public:
    // What this process does; each has its own runner.
    enum class Mode {
        // The commands on one port (also one port of several, for a parent).
        Run,
        // The commands on several ports at once, one child process per port.
        Fleet,
        ListPorts,
        ListDevices,
        // The records of the production database.
        Report,
        Help,
        Version,
        // --save-job FILE: write the job the options describe, run nothing.
        SaveJob,
        // --show-job FILE: the job in words.
        ShowJob,
    };
    Mode mode = Mode::Run;

    // Every --port, in order.
    QStringList ports;
    // The one port of this process; empty when several are given.
    QString port() const { return ports.size() == 1 ? ports.first() : QString(); }
    QString device;
    QString file;
    // --file-offset as given: the file is a raw binary stored from there.
    QString fileOffset;
    // Its address; none when not given or not an address of the buffer.
    std::optional<uint32_t> binaryOffset() const;
    QString output;
    bool json = false;
    bool quiet = false;
    bool verbose = false;
    bool dryRun = false;
    // An image larger than the device is loaded anyway (its end cut off).
    bool allowOversize = false;
    // The serial number may replace bytes the image holds.
    bool serialOverwrite = false;
    // Production: the serial number's options as given; they make
    // stores.serial.
    QString serialSpec;
    QString serialForm;
    QString serialBytes;
    // --serial-failed reuse|retire: what becomes of the number of a device
    // that failed after its number was written (empty: reuse).
    QString serialFailed;
    bool retireFailed() const { return serialFailed == QLatin1String("retire"); }
    bool repeat = false;
    // --job FILE with the operator's answers; the job's settings fill the
    // options above when it opens (CliJob::open), and imageSha256 is the
    // image's checksum the job keeps, checked before each device.
    QString job;
    QString operatorName;
    QString lot;
    QString jobImageSha256;
    // Once the job is open: its name and its file's SHA-256, which every
    // record carries.
    QString openJobName;
    QString jobFileSha256;
    // The options as parsed, before the job filled them in: what a port's
    // own process gets, so that it opens (and checks) the job itself.
    std::shared_ptr<const CliOptions> beforeJob;
    // --save-job and what only a job keeps (as given; checked by parse).
    QString saveJob;
    QString showJob;
    QString jobName;
    QString jobDevices;
    QString jobStopAfter;
    QString jobAskOperator;
    QString jobAskLot;
    bool jobScan = false;
    bool jobPin = false;
    // --report [--since DATE] [--csv | --bench]: the records in
    // stores.database; --bench counts them by bench instead.
    QString since;
    bool csv = false;
    bool bench = false;
    StoreOptions stores;
    // This process runs one port of several for a parent tarvo-cli (set
    // from the environment): it reports each device and a summary.
    bool portChild = false;
    QList<CliCommand> commands;

    // A production run: one record, serial number and summary per device.
    bool production() const
    {
        return repeat || portChild || !stores.logFile.isEmpty() || stores.serial.has_value() || !stores.database.isEmpty();
    }
    // --port auto-all: every port a programmer answers on.
    static constexpr char AllPorts[] = "auto-all";

    // Empty when the command line is usable.
    QString error;

    // The arguments without the program name.
    static CliOptions parse(const QStringList &arguments);
    // A command line that parses back to these options: long names, each
    // value joined to its option with '=', the commands after "--". Built
    // from the options, so a word of the user's is never cut or shifted.
    QStringList arguments() const;
    // The options of one port of several, as its own process gets them:
    // that port alone, JSON, the commands on one port.
    CliOptions forPort(const QString &port) const;

    // One option as the help lists it: its names (a short one first where
    // there is one), the name of its value (empty for a switch), and what
    // it does in a plain run and in a production run (empty where it is
    // not listed).
    struct Text
    {
        QStringList names;
        QString valueName;
        QString help;
        QString productionHelp;
    };
    static QList<Text> texts();
};
