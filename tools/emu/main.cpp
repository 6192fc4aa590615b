// tarvo-emu: the programmer emulator on a pseudo-terminal, for running the
// program without hardware. Prints the device to open and runs until
// SIGINT or SIGTERM.
#include "FaultText.h"
#include "ProgrammerEmulator.h"
#include "TarvoVersion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "tarvo-emu: %s\n", qPrintable(message));
    return 2;
}

bool writePathFile(const QString &file, const QString &path)
{
    // Written aside and renamed, so a script polling for it never reads half.
    const QString temp = file + QStringLiteral(".tmp");
    QFile out(temp);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    out.write(path.toLocal8Bit() + '\n');
    out.close();
    QFile::remove(file);
    return QFile::rename(temp, file);
}

} // namespace

int main(int argc, char **argv)
{
    // The parser's usage line names the program from the application's
    // arguments, so the application object comes first.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvo-emu"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVO_VERSION_STRING));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Emulates the programmer unit on a pseudo-terminal and prints its device path.\n"
        "Faults: EVENT[:CC][@N]=ACTION[:ARG], see the manual page tarvo-emu(1)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption date(QStringLiteral("date"), QStringLiteral("Firmware date, eight characters DDMMYYYY."),
                                  QStringLiteral("DDMMYYYY"), QString::fromLatin1(ProgrammerEmulator::DefaultFirmwareDate));
    const QCommandLineOption paced(QStringLiteral("paced"), QStringLiteral("Pace both directions at 19200 baud."));
    const QCommandLineOption device(QStringLiteral("device"), QStringLiteral("Serve this tty instead of a new pty."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption socket(QStringLiteral("socket"),
                                    QStringLiteral("Catalogue device in the socket (sizes its flash)."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption pathTo(QStringLiteral("print-path-to"),
                                    QStringLiteral("Write the device path to FILE once ready."), QStringLiteral("FILE"));
    const QCommandLineOption lower(QStringLiteral("lower-case"), QStringLiteral("Lower-case hex digits in replies."));
    const QCommandLineOption fault(QStringLiteral("fault"), QStringLiteral("Inject a fault (repeatable)."),
                                   QStringLiteral("FAULT"));
    parser.addOptions({date, paced, device, socket, pathTo, lower, fault});
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        QTextStream(stdout) << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    ProgrammerEmulator emu;
    if (!emu.setFirmwareDate(parser.value(date).toLatin1()))
        return fail(QStringLiteral("the date must have eight characters"));
    emu.setPaced(parser.isSet(paced));
    emu.setLowerCaseHex(parser.isSet(lower));
    if (parser.isSet(socket) && !emu.setSocketDevice(parser.value(socket)))
        return fail(QStringLiteral("unknown device \"%1\"").arg(parser.value(socket)));
    for (const QString &text : parser.values(fault)) {
        QString error;
        const auto f = FaultText::parse(text, &error);
        if (!f)
            return fail(error);
        emu.addFault(*f);
    }
    if (parser.isSet(device))
        emu.setDevicePath(parser.value(device));

    // Signals go to sigwait() below only; the protocol thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QString error;
    if (!emu.start(&error))
        return fail(error);
    if (parser.isSet(pathTo) && !writePathFile(parser.value(pathTo), emu.slavePath()))
        return fail(QStringLiteral("cannot write %1").arg(parser.value(pathTo)));
    // Printed last: whoever reads it may rely on the file being there.
    std::printf("%s\n", qPrintable(emu.slavePath()));
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    emu.stop();
    return 0;
}
