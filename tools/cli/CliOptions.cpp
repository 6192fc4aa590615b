#include "CliOptions.h"

#include "DeviceCatalogue.h"

namespace {

// Options that take a value, and the member each one fills.
struct ValueOption
{
    const char *name;
    QString CliOptions::*member;
};

const ValueOption ValueOptions[] = {
    {"--port", &CliOptions::port},
    {"--device", &CliOptions::device},
    {"--file", &CliOptions::file},
    {"--output", &CliOptions::output},
};

const ValueOption *findValueOption(const QString &name)
{
    for (const ValueOption &o : ValueOptions)
        if (name == QLatin1String(o.name))
            return &o;
    return nullptr;
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

} // namespace

CliOptions CliOptions::parse(const QStringList &arguments)
{
    CliOptions o;
    auto fail = [&o](const QString &message) {
        if (o.error.isEmpty())
            o.error = message;
    };

    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            o.help = true;
            continue;
        }
        if (arg == QLatin1String("--json")) {
            o.json = true;
            continue;
        }
        if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            const QString name = eq < 0 ? arg : arg.left(eq);
            const ValueOption *option = findValueOption(name);
            if (!option) {
                fail(QStringLiteral("unknown option \"%1\"").arg(arg));
                continue;
            }
            QString value;
            if (eq >= 0) {
                value = arg.mid(eq + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
            } else {
                fail(QStringLiteral("%1 needs a value").arg(name));
                continue;
            }
            if (value.isEmpty()) {
                fail(QStringLiteral("%1 needs a value").arg(name));
                continue;
            }
            QString &target = o.*(option->member);
            if (!target.isEmpty())
                fail(QStringLiteral("%1 given twice").arg(name));
            target = value;
            continue;
        }

        const auto kind = CliCommand::kindOf(arg);
        if (!kind) {
            fail(QStringLiteral("unknown command \"%1\" (commands: %2)").arg(arg, CliCommand::names().join(QLatin1String(", "))));
            continue;
        }
        CliCommand command;
        command.kind = *kind;
        if (*kind == CliCommand::Kind::FuseWrite) {
            if (i + 1 >= arguments.size()) {
                fail(QStringLiteral("fuse-write needs a VALUE in hex, such as 21 or 0x21"));
                continue;
            }
            const QString text = arguments.at(++i);
            const auto value = CliCommand::parseFuseValue(text);
            if (!value) {
                fail(QStringLiteral("fuse value \"%1\" is not a byte in hex (such as 21 or 0x21)").arg(text));
                continue;
            }
            command.fuseValue = *value;
        }
        o.commands.append(command);
    }

    if (o.help)
        return o;
    if (o.commands.isEmpty())
        fail(QStringLiteral("no command given"));
    if (o.port.isEmpty())
        fail(QStringLiteral("--port is required"));
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
    return o;
}

QString CliOptions::helpText()
{
    return QStringLiteral(
        "Usage: tarvo-cli --port PORT --device NAME [--file FILE.hex] [--output FILE.hex]\n"
        "                 [--json] COMMAND...\n"
        "\n"
        "Runs device commands on the programmer without the window. The programmer is\n"
        "detected first, always; the commands then run in the order given and the run\n"
        "stops at the first one that fails.\n"
        "\n"
        "Options:\n"
        "  --port PORT      Com1 to Com4 (as the window maps them; TARVO_COM1..TARVO_COM4\n"
        "                   name other devices), or a device path such as /dev/ttyUSB0\n"
        "  --device NAME    a catalogue device, such as AT89C2051 (not needed for detect)\n"
        "  --file FILE      Intel HEX file for program, verify and auto\n"
        "  --output FILE    where read saves the device's flash (Intel HEX)\n"
        "  --json           one JSON object per line and event on standard output\n"
        "  -h, --help       this text\n"
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
        "  0  every command passed\n"
        "  1  a command failed on the device or the programmer\n"
        "  2  usage or file error (unknown device or command, missing or malformed file,\n"
        "     fuse value out of range, a device this programmer's firmware refuses)\n"
        "  3  no programmer found, or the port could not be opened or went away\n"
        "  4  stopped by the user (Ctrl+C or SIGTERM); CAN is sent before the exit\n"
        "\n"
        "Devices:\n%1")
        .arg(deviceList());
}
