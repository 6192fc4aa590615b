#include "CliOptions.h"

#include "DeviceCatalogue.h"

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
