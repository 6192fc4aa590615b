// Several programmers at once: tarvo-cli runs Auto of an AT89C2051 on one
// paced emulator, then on four in parallel (one process per port), and
// prints the wall times, their ratio and the CPU tarvo-cli used.
//   bench_ports [devices per port]
#include "HexFileWriter.h"
#include "MemoryBuffer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

struct Emulator
{
    std::shared_ptr<QProcess> process;
    QString path;
};

Emulator startEmulator(const QTemporaryDir &dir, int index)
{
    Emulator e;
    const QString pathFile = dir.filePath(QStringLiteral("emu%1.path").arg(index));
    e.process = std::make_shared<QProcess>();
    e.process->start(QStringLiteral(TARVO_EMU_PATH),
                     {"--paced", "--socket", "AT89C2051", "--print-path-to", pathFile});
    for (int i = 0; i < 500 && !QFile::exists(pathFile); ++i)
        QThread::msleep(10);
    QFile f(pathFile);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("tarvo-emu did not start");
    e.path = QString::fromLocal8Bit(f.readAll()).trimmed();
    return e;
}

double childCpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Figures
{
    double wallS = 0;
    double cpuS = 0;
    int exitCode = -1;
};

// tarvo-cli on the ports, `devices` devices each; the emulators keep running
// so that the CPU reaped is tarvo-cli's alone (the parent and its children).
Figures runCli(const QList<Emulator> &emulators, const QString &file, int devices)
{
    QStringList args;
    for (const Emulator &e : emulators)
        args << "--port" << e.path;
    args << "--device" << "AT89C2051" << "--file" << file;
    if (devices > 1)
        args << "--repeat";
    args << "auto";
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QProcess cli;
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.start(QStringLiteral(TARVO_CLI_PATH), args);
    cli.waitForStarted();
    if (devices > 1)
        cli.write(QByteArray(devices, '\n'));
    cli.closeWriteChannel();
    cli.waitForFinished(-1);
    Figures f;
    f.wallS = double(clock.elapsed()) / 1000.0;
    f.cpuS = childCpuSeconds() - cpuBefore;
    f.exitCode = cli.exitCode();
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int devices = argc > 1 ? std::max(1, atoi(argv[1])) : 1;
    QTemporaryDir dir;
    MemoryBuffer buffer;
    for (int a = 0; a < 0x800; ++a)
        buffer.set(uint16_t(a), uint8_t(a * 13 + 7));
    const QString file = dir.filePath(QStringLiteral("fw.hex"));
    QFile hex(file);
    hex.open(QIODevice::WriteOnly);
    hex.write(HexFileWriter::image(buffer, 0x7FF));
    hex.close();

    QList<Emulator> emulators;
    for (int i = 0; i < 4; ++i)
        emulators.append(startEmulator(dir, i));

    const Figures one = runCli(emulators.mid(0, 1), file, devices);
    const Figures four = runCli(emulators, file, devices);
    for (Emulator &e : emulators) {
        e.process->terminate();
        e.process->waitForFinished();
    }

    std::printf("Auto of an AT89C2051, emulators paced at 19200 baud, %d device(s) per port\n", devices);
    std::printf("one port:   %6.2f s wall, tarvo-cli CPU %5.2f s (%4.1f %% of a core), exit %d\n", one.wallS, one.cpuS,
                100.0 * one.cpuS / one.wallS, one.exitCode);
    std::printf("four ports: %6.2f s wall, tarvo-cli CPU %5.2f s (%4.1f %% of a core, parent and 4 children), exit %d\n",
                four.wallS, four.cpuS, 100.0 * four.cpuS / four.wallS, four.exitCode);
    std::printf("four / one: %.3f (target at most 1.1)\n", four.wallS / one.wallS);
    return one.exitCode == 0 && four.exitCode == 0 ? 0 : 1;
}
