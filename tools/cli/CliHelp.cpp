#include "CliHelp.h"

#include "DeviceCatalogue.h"
#include "TarvoVersion.h"

namespace {

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
