#include "CliOptions.h"

#include "DeviceCatalogue.h"
#include "TarvoVersion.h"

#include <functional>

#include <QCommandLineParser>

namespace {

// The options: their names (a short one first where there is one), the
// name of their value (empty for a switch), and the member each one fills.
struct OptionRow
{
    QStringList names;
    const char *valueName;
    QString CliOptions::*value;
    bool CliOptions::*flag;
    // Options that may be given more than once.
    QStringList CliOptions::*list = nullptr;
};

const OptionRow OptionRows[] = {
    {{"P", "port"}, "PORT", nullptr, nullptr, &CliOptions::ports},
    {{"p", "device"}, "NAME", &CliOptions::device, nullptr},
    {{"f", "file"}, "FILE", &CliOptions::file, nullptr},
    {{"o", "output"}, "FILE", &CliOptions::output, nullptr},
    {{"json"}, "", nullptr, &CliOptions::json},
    {{"q", "quiet"}, "", nullptr, &CliOptions::quiet},
    {{"v", "verbose"}, "", nullptr, &CliOptions::verbose},
    {{"n", "dry-run"}, "", nullptr, &CliOptions::dryRun},
    {{"list-devices"}, "", nullptr, &CliOptions::listDevices},
    {{"list-ports"}, "", nullptr, &CliOptions::listPorts},
    {{"h", "help"}, "", nullptr, &CliOptions::help},
    {{"version"}, "", nullptr, &CliOptions::version},
    {{"log"}, "FILE", &CliOptions::logFile, nullptr},
    {{"serial"}, "ADDR:START[:STEP]", &CliOptions::serialSpec, nullptr},
    {{"serial-format"}, "FORM", &CliOptions::serialForm, nullptr},
    {{"serial-bytes"}, "N", &CliOptions::serialBytes, nullptr},
    {{"serial-state"}, "FILE", &CliOptions::serialState, nullptr},
    {{"repeat"}, "", nullptr, &CliOptions::repeat},
    {{"db"}, "LOCATION", &CliOptions::database, nullptr},
    {{"serial-sequence"}, "NAME", &CliOptions::serialSequence, nullptr},
    {{"report"}, "", nullptr, &CliOptions::report},
    {{"since"}, "DATE", &CliOptions::since, nullptr},
    {{"csv"}, "", nullptr, &CliOptions::csv},
};

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

// The catalogue names, a few to a line.
QString deviceList()
{
    QString out;
    QString line;
    for (const QString &name : DeviceCatalogue::names()) {
        if (line.size() + name.size() + 1 > 78) {
            out += line + QLatin1Char('\n');
            line.clear();
        }
        line += QLatin1String("  ") + name;
    }
    return out + line + QLatin1Char('\n');
}

// Our own wording of the parser's complaint, with the option as written.
QString parserError(const QCommandLineParser &parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("unknown option \"%1\"").arg(spelled(unknown.first()));
    for (const OptionRow &row : OptionRows)
        for (const QString &name : row.names)
            if ((row.value || row.list) && parser.errorText().contains(QLatin1Char('\'') + spelled(name) + QLatin1Char('\'')))
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
    o.stores.logFile = o.logFile;
    o.stores.serialStateFile = o.serialState;
    o.stores.database = o.database;
    o.stores.serialSequence = o.serialSequence;
    if (!o.database.isEmpty() && !o.logFile.isEmpty())
        fail(QStringLiteral("--db keeps the records: leave out --log"));
    if (!o.serialSequence.isEmpty()) {
        if (o.database.isEmpty())
            fail(QStringLiteral("--serial-sequence needs --db"));
        if (!o.serialState.isEmpty())
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
    if (o.serialSpec.isEmpty()) {
        if (!o.serialForm.isEmpty() || !o.serialBytes.isEmpty() || !o.serialState.isEmpty())
            fail(QStringLiteral("--serial-format, --serial-bytes and --serial-state need --serial"));
        // The sequence keeps its form: the options only name it.
        if (!o.serialSequence.isEmpty() && !programs)
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
    if (o.severalPorts() && o.serialState.isEmpty() && o.serialSequence.isEmpty())
        fail(QStringLiteral("several ports with --serial need --serial-state, so that no number is given twice"));
    o.stores.serial = format;
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

    for (const OptionRow &row : OptionRows) {
        const QString &name = row.names.last();
        if (row.flag) {
            o.*(row.flag) = parser.isSet(name);
            continue;
        }
        const QStringList values = parser.values(name);
        if (values.isEmpty())
            continue;
        if (values.contains(QString()))
            fail(QStringLiteral("%1 needs a value").arg(longName(row)));
        if (row.list) {
            o.*(row.list) = values;
            continue;
        }
        if (values.size() > 1)
            fail(QStringLiteral("%1 given twice").arg(longName(row)));
        if (values.first().isEmpty())
            fail(QStringLiteral("%1 needs a value").arg(longName(row)));
        o.*(row.value) = values.first();
    }
    parseCommands(parser.positionalArguments(), o, fail);
    o.device = catalogueName(o.device);

    if (o.help || o.version || o.listDevices)
        return o;
    if (o.quiet && o.verbose)
        fail(QStringLiteral("--quiet and --verbose exclude each other"));
    if (o.listPorts) {
        if (!o.commands.isEmpty() || !o.ports.isEmpty() || !o.device.isEmpty() || !o.file.isEmpty() || !o.output.isEmpty())
            fail(QStringLiteral("--list-ports takes no other option but --json, and no command"));
        return o;
    }
    if (o.report || !o.since.isEmpty() || o.csv) {
        if (!o.report)
            fail(QStringLiteral("--since and --csv need --report"));
        if (o.database.isEmpty())
            fail(QStringLiteral("--report needs --db"));
        if (!o.commands.isEmpty() || !o.ports.isEmpty())
            fail(QStringLiteral("--report runs no command on a device"));
        return o;
    }
    if (o.commands.isEmpty())
        fail(QStringLiteral("no command given"));
    if (o.ports.isEmpty())
        fail(QStringLiteral("--port is required"));
    if (o.ports.size() == 1)
        o.port = o.ports.first();
    if (o.ports.removeDuplicates() > 0)
        fail(QStringLiteral("--port names the same port twice"));
    if (o.ports.size() > 1 && o.ports.contains(QLatin1String(CliOptions::AllPorts)))
        fail(QStringLiteral("--port auto-all takes in every port: give it alone"));
    bool onlyDetect = true;
    bool needsFile = false;
    bool reads = false;
    for (const CliCommand &c : o.commands) {
        onlyDetect = onlyDetect && c.kind == CliCommand::Kind::Detect;
        needsFile = needsFile || c.needsFile();
        reads = reads || c.kind == CliCommand::Kind::Read;
    }
    if (o.device.isEmpty() && !onlyDetect)
        fail(QStringLiteral("--device is required"));
    if (needsFile && o.file.isEmpty())
        fail(QStringLiteral("program, verify and auto need --file"));
    if (reads && o.output.isEmpty())
        fail(QStringLiteral("read needs --output"));
    if (!reads && !o.output.isEmpty())
        fail(QStringLiteral("--output is only used by read"));
    checkProduction(o, fail);
    return o;
}

QString CliOptions::versionText()
{
    return QStringLiteral("tarvo-cli %1\n").arg(QStringLiteral(TARVO_VERSION_STRING));
}

QString CliOptions::helpText()
{
    return QStringLiteral(
        "Usage: tarvo-cli --port PORT --device NAME [--file FILE.hex] [--output FILE.hex]\n"
        "                 [--json] [-q | -v] [-n] [production options] COMMAND...\n"
        "       tarvo-cli --list-ports [--json]\n"
        "       tarvo-cli --db LOCATION --report [--since DATE] [--csv]\n"
        "       tarvo-cli --list-devices | --version | --help\n"
        "\n"
        "Runs device commands on the programmer without the window. The options, the\n"
        "device, the commands and the file are checked first: a bad one is refused\n"
        "before the port is opened, and nothing is sent. The programmer is then\n"
        "detected, always; the commands run in the order given and the run stops at\n"
        "the first one that fails.\n"
        "\n"
        "Options:\n"
        "  -P, --port PORT    Com1 to Com4, as the window maps them (TARVO_COM1 to\n"
        "                     TARVO_COM4 name other devices); auto: the first port the\n"
        "                     programmer answers on, busy ports skipped; usb:SERIAL: the\n"
        "                     USB adapter with that serial number; or a device path\n"
        "                     such as /dev/ttyUSB0 or /dev/serial/by-id/...\n"
        "  -p, --device NAME  a catalogue device in any case, such as AT89C2051 (not\n"
        "                     needed for detect)\n"
        "  -f, --file FILE    Intel HEX file for program, verify and auto\n"
        "  -o, --output FILE  where read saves the device's flash (Intel HEX)\n"
        "      --json         one JSON object per line and event on standard output\n"
        "  -q, --quiet        nothing on standard output but JSON; boxes and errors\n"
        "                     still go to standard error\n"
        "  -v, --verbose      also the port, the device's data, the file loaded and\n"
        "                     each command as it starts\n"
        "  -n, --dry-run      check everything, load the file and detect the\n"
        "                     programmer, then stop: no command is sent\n"
        "      --list-devices the catalogue: name, flash size, lock bits, fuses, type\n"
        "      --list-ports   the serial ports, one a line: Com entry, device,\n"
        "                     description, manufacturer, USB vendor:product id, serial\n"
        "                     number, and free, busy (held by another program),\n"
        "                     missing or no-rights\n"
        "      --version      the program's version\n"
        "  -h, --help         this text\n"
        "\n"
        "Production options:\n"
        "  -P, --port PORT    given more than once: the same job on every port at once,\n"
        "                     one process per port, a table per port at the end;\n"
        "                     auto-all: every port a programmer answers on\n"
        "      --log FILE     one record per device appended to FILE (CSV for .csv,\n"
        "                     JSON lines otherwise)\n"
        "      --serial ADDR:START[:STEP]\n"
        "                     a serial number at ADDR (hex) in each device before\n"
        "                     program or auto, from START by STEP (decimal); it moves\n"
        "                     on only after a device passed\n"
        "      --serial-format le|be|ascii|bcd\n"
        "                     binary low or high byte first (default le), decimal\n"
        "                     digits, or packed BCD\n"
        "      --serial-bytes N\n"
        "                     its width (default 4; ascii 8 digits)\n"
        "      --serial-state FILE\n"
        "                     keeps the next number across runs and processes\n"
        "      --repeat       one device after another: a line on standard input (Enter)\n"
        "                     starts the next, q or the end of input ends the run\n"
        "      --db LOCATION  keep the records (and with --serial-sequence the serial\n"
        "                     numbers) in a database: a file path is SQLite,\n"
        "                     postgresql://USER@HOST/DBNAME a PostgreSQL server (the\n"
        "                     password comes from ~/.pgpass or PGPASSFILE)\n"
        "      --serial-sequence NAME\n"
        "                     the serial numbers of product NAME from the database;\n"
        "                     the form given with --serial, --serial-format and\n"
        "                     --serial-bytes on first use is kept with it\n"
        "      --report       print the records in --db: passed and failed by day and\n"
        "                     by device\n"
        "      --since DATE   only the records from DATE (2026-12-01) or a time\n"
        "                     (2026-12-01T14:00+07:00) on\n"
        "      --csv          every record as CSV, with the log file's columns\n"
        "\n"
        "Commands:\n"
        "  detect           only the detection (it runs before every other command too)\n"
        "  erase, blank     erase the device; check that it is blank\n"
        "  program, verify  write the file into the device; compare the device with it\n"
        "  read             read the device's flash and save it to --output\n"
        "  lock1, lock2, lock3\n"
        "                   program lock bit 1; bits 1 and 2; bits 1, 2 and 3\n"
        "  auto             erase, blank check, program, verify and lock in one run\n"
        "  fuse-read        show the fuse and lock bits\n"
        "  fuse-write VALUE write the fuse byte VALUE (hex: 21 or 0x21) and check it by\n"
        "                   reading it back; type 04 devices take 00 or 01, the AT90S\n"
        "                   devices 00, 01, 20 or 21\n"
        "\n"
        "Exit codes:\n"
        "  0  every command passed (with --repeat: every device)\n"
        "  1  a command failed on the device or the programmer\n"
        "  2  usage or file error (unknown device or command, missing or malformed file,\n"
        "     fuse value out of range, a device this programmer's firmware refuses,\n"
        "     a log, serial state or database that cannot be used, a serial number\n"
        "     that does not fit)\n"
        "  3  no programmer found, or the port could not be opened or went away\n"
        "  4  stopped by the user (Ctrl+C, SIGTERM or SIGHUP); CAN is sent once before\n"
        "     the exit\n"
        "\n"
        "Devices:\n%1")
        .arg(deviceList());
}
