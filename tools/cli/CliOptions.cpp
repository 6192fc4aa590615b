#include "CliOptions.h"

#include "DeviceCatalogue.h"

#include <functional>
#include <variant>

#include <QCommandLineParser>

namespace {

using Mode = CliOptions::Mode;

// What an option fills: a value, a list of values (an option that may be
// given more than once), a switch, a store's value, or the mode it picks.
using Target = std::variant<QString CliOptions::*, QStringList CliOptions::*, bool CliOptions::*, QString StoreOptions::*, Mode>;

// The options: their names (a short one first where there is one), the
// name of their value (empty for a switch), what each one fills, and the
// help's text for a plain run and for a production run (null where the
// help does not list it there).
struct OptionRow
{
    QStringList names;
    const char *valueName;
    Target target;
    const char *help;
    const char *productionHelp = nullptr;
};

const OptionRow OptionRows[] = {
    {{"P", "port"}, "PORT", &CliOptions::ports,
     "Com1 to Com4, as the window maps them (TARVO_COM1 to TARVO_COM4 name other devices); auto: the first port "
     "the programmer answers on, busy ports skipped; usb:SERIAL: the USB adapter with that serial number; or a "
     "device path such as /dev/ttyUSB0 or /dev/serial/by-id/...",
     "given more than once: the same job on every port at once, one process per port, a table per port at the "
     "end; auto-all: every port a programmer answers on"},
    {{"p", "device"}, "NAME", &CliOptions::device,
     "a catalogue device in any case, such as AT89C2051 (not needed for detect)"},
    {{"f", "file"}, "FILE", &CliOptions::file,
     "the image for program, verify and auto: Intel HEX, S-record or ELF, told apart by their content"},
    {{"file-offset"}, "ADDR", &CliOptions::fileOffset, "FILE is a raw binary, stored from ADDR (hex) on"},
    {{"o", "output"}, "FILE", &CliOptions::output, "where read saves the device's flash (Intel HEX)"},
    {{"json"}, "", &CliOptions::json, "one JSON object per line and event on standard output"},
    {{"q", "quiet"}, "", &CliOptions::quiet,
     "nothing on standard output but JSON; boxes and errors still go to standard error"},
    {{"v", "verbose"}, "", &CliOptions::verbose,
     "also the port, the device's data, the file loaded and each command as it starts"},
    {{"n", "dry-run"}, "", &CliOptions::dryRun,
     "check everything, load the file and detect the programmer, then stop: no command is sent"},
    {{"allow-oversize"}, "", &CliOptions::allowOversize,
     "load an image that ends beyond the device anyway (refused otherwise: \"End Buffer Over End Device\")"},
    {{"list-devices"}, "", Mode::ListDevices, "the catalogue: name, flash size, lock bits, fuses, type"},
    {{"list-ports"}, "", Mode::ListPorts,
     "the serial ports, one a line: Com entry, device, description, manufacturer, USB vendor:product id, serial "
     "number, and free, busy (held by another program), missing or no-rights"},
    {{"version"}, "", Mode::Version, "the program's version"},
    {{"h", "help"}, "", Mode::Help, "this text"},
    {{"log"}, "FILE", &StoreOptions::logFile, nullptr,
     "one record per device appended to FILE (CSV for .csv, JSON lines otherwise)"},
    {{"serial"}, "ADDR:START[:STEP]", &CliOptions::serialSpec, nullptr,
     "a serial number at ADDR (hex) in each device before program or auto, from START by STEP (decimal); it "
     "moves on only after a device passed"},
    {{"serial-format"}, "le|be|ascii|bcd", &CliOptions::serialForm, nullptr,
     "binary low or high byte first (default le), decimal digits, or packed BCD"},
    {{"serial-bytes"}, "N", &CliOptions::serialBytes, nullptr, "its width (default 4; ascii 8 digits)"},
    {{"serial-overwrite"}, "", &CliOptions::serialOverwrite, nullptr,
     "let the serial number replace bytes the image holds (refused otherwise, before the port opens)"},
    {{"serial-state"}, "FILE", &StoreOptions::serialStateFile, nullptr,
     "keeps the next number across runs and processes"},
    {{"serial-failed"}, "reuse|retire", &CliOptions::serialFailed, nullptr,
     "the number of a device that failed after it was written: given to the next device (reuse, the default), "
     "or retired, never given again (retire); a number that may be in a device whose bench stopped is always "
     "retired"},
    {{"repeat"}, "", &CliOptions::repeat, nullptr,
     "one device after another: an empty line on standard input (Enter) starts the next; q, quit, exit or the "
     "end of input ends the run; any other line is refused; on a terminal, keys typed ahead are dropped"},
    {{"db"}, "LOCATION", &StoreOptions::database, nullptr,
     "keep the records (and with --serial-sequence the serial numbers) in a database: a file path is SQLite, "
     "postgresql://USER@HOST/DBNAME a PostgreSQL server (the password comes from ~/.pgpass or PGPASSFILE)"},
    {{"serial-sequence"}, "NAME", &StoreOptions::serialSequence, nullptr,
     "the serial numbers of product NAME from the database; the form given with --serial, --serial-format and "
     "--serial-bytes on first use is kept with it"},
    {{"report"}, "", Mode::Report, nullptr,
     "print the records in --db: devices passed and failed, and the yield, by day, by device and by job and lot; "
     "the devices failed at each step (erase, blank, program, verify, lock, other) and the step that failed most; "
     "the retired serial numbers"},
    {{"since"}, "DATE", &CliOptions::since, nullptr,
     "only the records from DATE (2026-12-01) or a time (2026-12-01T14:00+07:00) on"},
    {{"csv"}, "", &CliOptions::csv, nullptr, "every record as CSV, with the log file's columns"},
    {{"bench"}, "", &CliOptions::bench, nullptr,
     "with --report: the devices by bench (host and port) instead of by day, device, job and lot"},
    {{"save-job"}, "FILE", &CliOptions::saveJob, nullptr,
     "write a job (.tarvojob) from exactly the options and commands given, then run nothing; the port is never "
     "part of it"},
    {{"show-job"}, "FILE", &CliOptions::showJob, nullptr,
     "print a job in words, with its image's stored and current SHA-256 (exit 2 when they differ)"},
    {{"job-name"}, "NAME", &CliOptions::jobName, nullptr, "the job's name (default: the job file's name)"},
    {{"devices"}, "N", &CliOptions::jobDevices, nullptr, "with --save-job: how many devices the job runs (default "
                                                          "unlimited)"},
    {{"stop-after-failures"}, "K", &CliOptions::jobStopAfter, nullptr,
     "with --save-job: stop after K devices failed in a row (default never)"},
    {{"ask-operator"}, "optional|required", &CliOptions::jobAskOperator, nullptr,
     "with --save-job: ask the operator's name at the start"},
    {{"ask-lot"}, "optional|required", &CliOptions::jobAskLot, nullptr,
     "with --save-job: ask the lot or work order at the start"},
    {{"scan"}, "", &CliOptions::jobScan, nullptr,
     "with --repeat: each line read is the device's scanned code (a barcode), kept in its record, and runs it (an "
     "empty line runs nothing); with --save-job: the job asks for it"},
    {{"job"}, "FILE", &CliOptions::job, nullptr,
     "run a job: its device, image, commands and production settings, one device after another as with --repeat; "
     "the image's SHA-256 is checked when the job opens and before each device"},
    {{"operator"}, "NAME", &CliOptions::operatorName, nullptr, "with --job: the operator's name, when the job asks it"},
    {{"lot"}, "LOT", &CliOptions::lot, nullptr, "with --job: the lot or work order, when the job asks it"},
    {{"job-pin"}, "", &CliOptions::jobPin, nullptr,
     "with --save-job: an engineer PIN, read from the first line of standard input, kept as a salted hash"},
};

bool takesValue(const OptionRow &row)
{
    return *row.valueName != 0;
}

// The catalogue's spelling of a device name given in any case; the name as
// given when the catalogue has no such device (reported later).
QString catalogueName(const QString &name)
{
    for (const QString &known : DeviceCatalogue::names())
        if (known.compare(name, Qt::CaseInsensitive) == 0)
            return known;
    return name;
}

// How an option is written on the command line: "--port", "-P".
QString spelled(const QString &name)
{
    return (name.size() == 1 ? QLatin1String("-") : QLatin1String("--")) + name;
}

// The long spelling of an option, for the messages.
QString longName(const OptionRow &row)
{
    return spelled(row.names.last());
}

// Our own wording of the parser's complaint, with the option as written.
QString parserError(const QCommandLineParser &parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("unknown option \"%1\"").arg(spelled(unknown.first()));
    for (const OptionRow &row : OptionRows)
        for (const QString &name : row.names)
            if (takesValue(row) && parser.errorText().contains(QLatin1Char('\'') + spelled(name) + QLatin1Char('\'')))
                return QStringLiteral("%1 needs a value").arg(longName(row));
    return parser.errorText();
}

// The positional arguments: commands in order, fuse-write with its value.
void parseCommands(const QStringList &words, CliOptions &o, const std::function<void(const QString &)> &fail)
{
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        const auto kind = CliCommand::kindOf(word);
        if (!kind) {
            fail(QStringLiteral("unknown command \"%1\" (commands: %2)").arg(word, CliCommand::names().join(QLatin1String(", "))));
            continue;
        }
        CliCommand command;
        command.kind = *kind;
        if (*kind == CliCommand::Kind::FuseWrite) {
            if (i + 1 >= words.size()) {
                fail(QStringLiteral("fuse-write needs a VALUE in hex, such as 21 or 0x21"));
                continue;
            }
            const QString text = words.at(++i);
            const auto value = CliCommand::parseFuseValue(text);
            if (!value) {
                fail(QStringLiteral("fuse value \"%1\" is not a byte in hex (such as 21 or 0x21)").arg(text));
                continue;
            }
            command.fuseValue = *value;
        }
        o.commands.append(command);
    }
}

// The production options: syntax, and what they need of each other.
void checkProduction(CliOptions &o, const std::function<void(const QString &)> &fail)
{
    const StoreOptions &stores = o.stores;
    if (!stores.database.isEmpty() && !stores.logFile.isEmpty())
        fail(QStringLiteral("--db keeps the records: leave out --log"));
    if (!stores.serialSequence.isEmpty()) {
        if (stores.database.isEmpty())
            fail(QStringLiteral("--serial-sequence needs --db"));
        if (!stores.serialStateFile.isEmpty())
            fail(QStringLiteral("--serial-sequence keeps the numbers in the database: leave out --serial-state"));
    }
    bool programs = false;
    bool reads = false;
    for (const CliCommand &c : o.commands) {
        programs = programs || c.kind == CliCommand::Kind::Program || c.kind == CliCommand::Kind::Auto;
        reads = reads || c.kind == CliCommand::Kind::Read;
    }
    if (o.repeat && reads)
        fail(QStringLiteral("read cannot be repeated: every device would overwrite --output"));
    if (!o.serialFailed.isEmpty() && o.serialFailed != QLatin1String("reuse") && !o.retireFailed())
        fail(QStringLiteral("--serial-failed is reuse or retire, not \"%1\"").arg(o.serialFailed));
    if (!o.serialFailed.isEmpty() && o.serialSpec.isEmpty() && stores.serialSequence.isEmpty() && o.job.isEmpty())
        fail(QStringLiteral("--serial-failed needs --serial or --serial-sequence"));
    if (o.serialSpec.isEmpty()) {
        if (!o.serialForm.isEmpty() || !o.serialBytes.isEmpty() || !stores.serialStateFile.isEmpty())
            fail(QStringLiteral("--serial-format, --serial-bytes and --serial-state need --serial"));
        // The sequence keeps its form: the options only name it.
        if (!stores.serialSequence.isEmpty() && !programs)
            fail(QStringLiteral("--serial-sequence needs program or auto: the number goes into the image they send"));
        return;
    }
    SerialFormat format;
    QString error;
    if (!format.parseArgument(o.serialSpec, &error))
        fail(error);
    if (!o.serialForm.isEmpty()) {
        const std::optional<SerialFormat::Form> form = SerialFormat::formOf(o.serialForm);
        if (!form)
            fail(QStringLiteral("unknown serial format \"%1\" (formats: le, be, ascii, bcd)").arg(o.serialForm));
        else
            format.form = *form;
    }
    format.bytes = SerialFormat::defaultBytes(format.form);
    if (!o.serialBytes.isEmpty()) {
        bool ok = false;
        format.bytes = o.serialBytes.toInt(&ok);
        const int most = SerialFormat::maxBytes(format.form);
        if (!ok || format.bytes < 1 || format.bytes > most)
            fail(QStringLiteral("--serial-bytes must be 1 to %1 for %2").arg(most).arg(SerialFormat::formName(format.form)));
    }
    if (!programs)
        fail(QStringLiteral("--serial needs program or auto: the number goes into the image they send"));
    if (o.mode == Mode::Fleet && stores.serialStateFile.isEmpty() && stores.serialSequence.isEmpty())
        fail(QStringLiteral("several ports with --serial need --serial-state, so that no number is given twice"));
    o.stores.serial = format;
}

// --job: what the job fixes is not given again.
void checkJobRun(CliOptions &o, const std::function<void(const QString &)> &fail)
{
    const QList<std::pair<bool, const char *>> fixed{
        {!o.device.isEmpty(), "--device"},         {!o.file.isEmpty(), "--file"},
        {!o.fileOffset.isEmpty(), "--file-offset"}, {!o.output.isEmpty(), "--output"},
        {!o.commands.isEmpty(), "a command"},      {!o.serialSpec.isEmpty(), "--serial"},
        {!o.serialForm.isEmpty(), "--serial-format"}, {!o.serialBytes.isEmpty(), "--serial-bytes"},
        {!o.serialFailed.isEmpty(), "--serial-failed"},
        {!o.stores.serialStateFile.isEmpty(), "--serial-state"}, {!o.stores.logFile.isEmpty(), "--log"},
        {!o.stores.database.isEmpty(), "--db"},    {!o.stores.serialSequence.isEmpty(), "--serial-sequence"},
        {o.repeat, "--repeat"},                    {!o.saveJob.isEmpty(), "--save-job"},
        {o.jobScan, "--scan"},
    };
    for (const auto &[given, name] : fixed)
        if (given)
            fail(QStringLiteral("--job fixes the device, the image, the commands and the production settings: leave out %1")
                     .arg(QLatin1String(name)));
}

// --save-job: a job needs what a run needs, but never a port.
void checkJobToSave(CliOptions &o, const std::function<void(const QString &)> &fail)
{
    o.mode = Mode::SaveJob;
    if (o.commands.isEmpty())
        fail(QStringLiteral("no command given: a job needs its commands (auto, or a list)"));
    if (!o.ports.isEmpty())
        fail(QStringLiteral("--save-job: the port belongs to the bench, not to the job: leave out --port"));
    if (o.device.isEmpty())
        fail(QStringLiteral("--save-job needs --device"));
    if (o.file.isEmpty())
        fail(QStringLiteral("--save-job needs --file: the job keeps its image and checksum"));
    if (!o.fileOffset.isEmpty() && !o.binaryOffset())
        fail(QStringLiteral("--file-offset \"%1\" is not an address from 0 to FFFF in hex").arg(o.fileOffset));
    for (const CliCommand &c : o.commands)
        if (c.kind == CliCommand::Kind::Read || c.kind == CliCommand::Kind::Detect)
            fail(QStringLiteral("%1 has no place in a job").arg(c.name()));
    if (!o.output.isEmpty() || o.dryRun || o.repeat)
        fail(QStringLiteral("--save-job keeps no --output, --dry-run or --repeat: a job always repeats"));
    const auto count = [&](const QString &text, const char *option) {
        bool ok = false;
        const int n = text.toInt(&ok);
        if (!text.isEmpty() && (!ok || n < 1))
            fail(QStringLiteral("%1 must be a whole number from 1 on").arg(QLatin1String(option)));
    };
    count(o.jobDevices, "--devices");
    count(o.jobStopAfter, "--stop-after-failures");
    for (const QString &ask : {o.jobAskOperator, o.jobAskLot})
        if (!ask.isEmpty() && ask != QLatin1String("optional") && ask != QLatin1String("required"))
            fail(QStringLiteral("--ask-operator and --ask-lot take optional or required, not \"%1\"").arg(ask));
    checkProduction(o, fail);
}

} // namespace

CliOptions CliOptions::parse(const QStringList &arguments)
{
    CliOptions o;
    auto fail = [&o](const QString &message) {
        if (o.error.isEmpty())
            o.error = message;
    };

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    for (const OptionRow &row : OptionRows)
        parser.addOption(QCommandLineOption(row.names, QString(), QString::fromLatin1(row.valueName)));
    if (!parser.parse(QStringList{QStringLiteral("tarvo-cli")} + arguments)) {
        fail(parserError(parser));
        return o;
    }

    // The modes given; the one that ranks highest is the process's.
    QList<Mode> modes;
    for (const OptionRow &row : OptionRows) {
        const QString &name = row.names.last();
        if (!takesValue(row)) {
            const bool set = parser.isSet(name);
            if (const auto *flag = std::get_if<bool CliOptions::*>(&row.target))
                o.*(*flag) = set;
            else if (set)
                modes << std::get<Mode>(row.target);
            continue;
        }
        const QStringList values = parser.values(name);
        if (values.isEmpty())
            continue;
        if (values.contains(QString()))
            fail(QStringLiteral("%1 needs a value").arg(longName(row)));
        if (const auto *list = std::get_if<QStringList CliOptions::*>(&row.target)) {
            o.*(*list) = values;
            continue;
        }
        if (values.size() > 1)
            fail(QStringLiteral("%1 given twice").arg(longName(row)));
        if (const auto *value = std::get_if<QString CliOptions::*>(&row.target))
            o.*(*value) = values.first();
        else
            o.stores.*std::get<QString StoreOptions::*>(row.target) = values.first();
    }
    parseCommands(parser.positionalArguments(), o, fail);
    o.device = catalogueName(o.device);
    for (const Mode mode : {Mode::Help, Mode::Version, Mode::ListDevices, Mode::ListPorts, Mode::Report})
        if (modes.contains(mode)) {
            o.mode = mode;
            break;
        }

    if (o.mode == Mode::Help || o.mode == Mode::Version || o.mode == Mode::ListDevices)
        return o;
    if (o.quiet && o.verbose)
        fail(QStringLiteral("--quiet and --verbose exclude each other"));
    if (o.mode == Mode::ListPorts) {
        if (!o.commands.isEmpty() || !o.ports.isEmpty() || !o.device.isEmpty() || !o.file.isEmpty() || !o.output.isEmpty()
            || modes.contains(Mode::Report))
            fail(QStringLiteral("--list-ports takes no other option but --json, and no command"));
        return o;
    }
    if (o.mode == Mode::Report || !o.since.isEmpty() || o.csv || o.bench) {
        if (o.mode != Mode::Report)
            fail(QStringLiteral("--since, --csv and --bench need --report"));
        if (o.bench && (o.csv || o.json))
            fail(QStringLiteral("--bench is a table of its own: leave out --csv and --json"));
        if (o.stores.database.isEmpty())
            fail(QStringLiteral("--report needs --db"));
        if (!o.commands.isEmpty() || !o.ports.isEmpty())
            fail(QStringLiteral("--report runs no command on a device"));
        return o;
    }
    if (!o.showJob.isEmpty()) {
        if (arguments.size() != 2 || !o.saveJob.isEmpty())
            fail(QStringLiteral("--show-job takes no other option and no command"));
        o.mode = Mode::ShowJob;
        return o;
    }
    if (!o.job.isEmpty()) {
        checkJobRun(o, fail);
        if (!o.error.isEmpty())
            return o;
    } else if (!o.operatorName.isEmpty() || !o.lot.isEmpty()) {
        fail(QStringLiteral("--operator and --lot need --job"));
    }
    const bool jobSettings = !o.jobName.isEmpty() || !o.jobDevices.isEmpty() || !o.jobStopAfter.isEmpty()
                             || !o.jobAskOperator.isEmpty() || !o.jobAskLot.isEmpty() || o.jobPin;
    if (o.saveJob.isEmpty()) {
        if (jobSettings)
            fail(QStringLiteral("--job-name, --devices, --stop-after-failures, --ask-operator, --ask-lot and "
                                "--job-pin need --save-job"));
        if (o.jobScan && !o.repeat)
            fail(QStringLiteral("--scan needs --repeat (or --save-job): each line is then a device's code"));
        if (o.jobScan && o.ports.size() > 1)
            fail(QStringLiteral("--scan takes one port: a scanned code belongs to one device"));
    } else {
        checkJobToSave(o, fail);
        return o;
    }
    if (o.commands.isEmpty() && o.job.isEmpty())
        fail(QStringLiteral("no command given"));
    if (o.ports.isEmpty())
        fail(QStringLiteral("--port is required"));
    if (o.ports.removeDuplicates() > 0)
        fail(QStringLiteral("--port names the same port twice"));
    if (o.ports.size() > 1 && o.ports.contains(QLatin1String(CliOptions::AllPorts)))
        fail(QStringLiteral("--port auto-all takes in every port: give it alone"));
    // Several programmers at once: one process per port.
    if (o.ports.size() > 1 || o.ports == QStringList{QLatin1String(AllPorts)})
        o.mode = Mode::Fleet;
    bool onlyDetect = true;
    bool needsFile = false;
    bool reads = false;
    for (const CliCommand &c : o.commands) {
        onlyDetect = onlyDetect && c.kind == CliCommand::Kind::Detect;
        needsFile = needsFile || c.needsFile();
        reads = reads || c.kind == CliCommand::Kind::Read;
    }
    // The job's own settings are read and checked when it opens.
    if (!o.job.isEmpty())
        return o;
    if (o.device.isEmpty() && !onlyDetect)
        fail(QStringLiteral("--device is required"));
    if (needsFile && o.file.isEmpty())
        fail(QStringLiteral("program, verify and auto need --file"));
    if (!o.fileOffset.isEmpty() && !o.binaryOffset())
        fail(QStringLiteral("--file-offset \"%1\" is not an address from 0 to FFFF in hex").arg(o.fileOffset));
    if (!o.fileOffset.isEmpty() && o.file.isEmpty())
        fail(QStringLiteral("--file-offset needs --file"));
    if (reads && o.output.isEmpty())
        fail(QStringLiteral("read needs --output"));
    if (!reads && !o.output.isEmpty())
        fail(QStringLiteral("--output is only used by read"));
    checkProduction(o, fail);
    return o;
}

QStringList CliOptions::arguments() const
{
    QStringList out;
    for (const OptionRow &row : OptionRows) {
        const QString option = longName(row);
        const auto valued = [&](const QString &value) {
            if (!value.isEmpty())
                out << option + QLatin1Char('=') + value;
        };
        if (const auto *flag = std::get_if<bool CliOptions::*>(&row.target)) {
            if (this->*(*flag))
                out << option;
        } else if (const auto *mode = std::get_if<Mode>(&row.target)) {
            if (this->mode == *mode)
                out << option;
        } else if (const auto *list = std::get_if<QStringList CliOptions::*>(&row.target)) {
            for (const QString &value : this->*(*list))
                valued(value);
        } else if (const auto *value = std::get_if<QString CliOptions::*>(&row.target)) {
            valued(this->*(*value));
        } else {
            valued(stores.*std::get<QString StoreOptions::*>(row.target));
        }
    }
    out << QStringLiteral("--");
    for (const CliCommand &c : commands) {
        out << c.name();
        if (c.kind == CliCommand::Kind::FuseWrite)
            out << QStringLiteral("0x%1").arg(c.fuseValue, 2, 16, QLatin1Char('0'));
    }
    return out;
}

CliOptions CliOptions::forPort(const QString &port) const
{
    CliOptions child = beforeJob ? *beforeJob : *this;
    child.ports = QStringList{port};
    child.json = true;
    child.mode = Mode::Run;
    return child;
}

std::optional<uint32_t> CliOptions::binaryOffset() const
{
    if (fileOffset.isEmpty())
        return std::nullopt;
    QString digits = fileOffset;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    else if (digits.endsWith(QLatin1Char('h'), Qt::CaseInsensitive))
        digits.chop(1);
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok || digits.isEmpty() || digits.startsWith(QLatin1Char('+')) || value >= 0x10000)
        return std::nullopt;
    return value;
}

QList<CliOptions::Text> CliOptions::texts()
{
    QList<Text> out;
    for (const OptionRow &row : OptionRows)
        out.append({row.names, QString::fromLatin1(row.valueName), QString::fromUtf8(row.help),
                    QString::fromUtf8(row.productionHelp)});
    return out;
}
