#include "CliHelp.h"

#include "CliCommand.h"
#include "CliOptions.h"
#include "DeviceCatalogue.h"
#include "TarvoVersion.h"

namespace {

// The help fits a terminal of 80 columns without wrapping.
constexpr int Width = 79;
// Where the texts of the options and of the commands start.
constexpr int OptionColumn = 21;
constexpr int CommandColumn = 19;

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

// One entry: what it is called on the left, its text from the column on,
// wrapped at word boundaries; a long name puts the text on the next line.
QString entry(const QString &left, const QString &text, int column)
{
    QStringList lines;
    const QString indent(column, QLatin1Char(' '));
    QString line = indent;
    if (left.size() < column)
        line = left.leftJustified(column);
    else
        lines << left;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const bool started = line.size() > column;
        if (started && line.size() + 1 + word.size() > Width) {
            lines << line;
            line = indent;
        } else if (started) {
            line += QLatin1Char(' ');
        }
        line += word;
    }
    lines << line;
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

// "  -P, --port PORT", "      --json": the short name in its own column.
QString optionName(const CliOptions::Text &option)
{
    QString out = option.names.size() > 1 ? QStringLiteral("  -%1, ").arg(option.names.first()) : QStringLiteral("      ");
    out += QLatin1String("--") + option.names.last();
    if (!option.valueName.isEmpty())
        out += QLatin1Char(' ') + option.valueName;
    return out;
}

QString options(QString CliOptions::Text::*help)
{
    QString out;
    for (const CliOptions::Text &option : CliOptions::texts())
        if (!(option.*help).isEmpty())
            out += entry(optionName(option), option.*help, OptionColumn);
    return out;
}

QString commands()
{
    QString out;
    for (const CliCommand::Text &command : CliCommand::texts()) {
        QString name = QLatin1String("  ") + command.name;
        if (!command.valueName.isEmpty())
            name += QLatin1Char(' ') + command.valueName;
        out += entry(name, command.help, CommandColumn);
    }
    return out;
}

} // namespace

QString CliHelp::versionText()
{
    return QStringLiteral("tarvo-cli %1\n").arg(QStringLiteral(TARVO_VERSION_STRING));
}

QString CliHelp::text()
{
    return QStringLiteral(
               "Usage: tarvo-cli --port PORT --device NAME [--file FILE.hex] [--output FILE.hex]\n"
               "                 [--json] [-q | -v] [-n] [production options] COMMAND...\n"
               "       tarvo-cli --list-ports [--json]\n"
               "       tarvo-cli --db LOCATION --report [--since DATE] [--csv|--json|--bench]\n"
               "       tarvo-cli --list-devices | --version | --help\n"
               "\n"
               "Runs device commands on the programmer without the window. The options, the\n"
               "device, the commands and the file are checked first: a bad one is refused\n"
               "before the port is opened, and nothing is sent. The programmer is then\n"
               "detected, always; the commands run in the order given and the run stops at\n"
               "the first one that fails.\n"
               "\n"
               "Options:\n")
        + options(&CliOptions::Text::help) + QStringLiteral("\nProduction options:\n")
        + options(&CliOptions::Text::productionHelp) + QStringLiteral("\nCommands:\n") + commands()
        + QStringLiteral(
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
            "  5  with several ports: a port's process died by a signal (named on standard\n"
            "     error); the tool failed there, not the device\n"
            "\n"
            "Devices:\n")
        + deviceList();
}
