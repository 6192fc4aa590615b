// Speed of the device commands against the emulator.
//   bench_commands throughput [window]   Program, Verify, Read of an AT89C55, unpaced
//   bench_commands auto [window]         Auto of an AT89C55 at the real line rate
// With "window" the main window (offscreen unless a display is set) shows
// the run. CPU figures are the main thread's alone (the emulator has its own).
#include "BenchView.h"
#include "CommandRunner.h"
#include "DeviceCommand.h"
#include "DeviceCatalogue.h"
#include "MemoryBuffer.h"
#include "ProgrammerEmulator.h"
#include "ProgrammerLink.h"
#include "ScriptedPrompter.h"
#include "SelectionState.h"

#include <QApplication>
#include <QTimer>
#include <memory>
#ifdef TARVO_BENCH_WINDOW
#include "TTarvoForm.h"
#endif

#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr double LineRate = 1920.0; // characters a second at 19200 baud, 8N1

double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The program side: a bare link, or the main window's own.
struct Program
{
    explicit Program(bool window)
    {
#ifdef TARVO_BENCH_WINDOW
        if (window) {
            form = std::make_unique<TTarvoForm>(prompter);
            form->show();
            return;
        }
#else
        if (window)
            std::fprintf(stderr, "built without the main window; using a bare view\n");
#endif
        ownLink = std::make_unique<ProgrammerLink>(prompter);
    }
#ifdef TARVO_BENCH_WINDOW
    ProgrammerLink &link() { return form ? form->link() : *ownLink; }
    MemoryBuffer &buffer() { return form ? form->buffer() : ownBuffer; }
    SelectionState &selection() { return form ? form->selection() : ownSelection; }
    RunListener *display() { return form ? &form->runDisplay() : nullptr; }
    std::unique_ptr<TTarvoForm> form;
#else
    ProgrammerLink &link() { return *ownLink; }
    MemoryBuffer &buffer() { return ownBuffer; }
    SelectionState &selection() { return ownSelection; }
    RunListener *display() { return nullptr; }
#endif
    ScriptedPrompter prompter;
    std::unique_ptr<ProgrammerLink> ownLink;
    MemoryBuffer ownBuffer;
    SelectionState ownSelection;
};

struct Bench
{
    explicit Bench(bool window)
        : program(window)
        , link(program.link())
        , buffer(program.buffer())
        , selection(program.selection())
        , runner(link, buffer, selection, program.prompter)
    {
        // With the window, its own drawing of the run comes first.
        runner.addListener(program.display());
        runner.addListener(&view);
    }

    ProgrammerEmulator emu;
    Program program;
    ProgrammerLink &link;
    MemoryBuffer &buffer;
    SelectionState &selection;
    BenchView view;
    CommandRunner runner;
    QObject context;

    bool start(bool paced)
    {
        QString error;
        emu.setPaced(paced);
        if (!emu.start(&error)) {
            std::fprintf(stderr, "emulator: %s\n", qPrintable(error));
            return false;
        }
        link.port().setDevicePath(emu.slavePath());
        if (!link.port().open()) {
            std::fprintf(stderr, "port: %s\n", qPrintable(link.port().errorString()));
            return false;
        }
        link.assumeHardwareFound();
        selection.SelectedDevice = DeviceCatalogue::row(DeviceCatalogue::indexOf(QStringLiteral("AT89C55")));
        selection.DeviceSelected = true;
        emu.setSocketDevice(QStringLiteral("AT89C55"));
        for (int a = 0; a < MemoryBuffer::Size; ++a)
            buffer.set(uint16_t(a), uint8_t(a * 31 + (a >> 8)));
        return true;
    }

    struct Run
    {
        double wallS = 0;      // Run pressed to the pass ending
        double transferS = 0;  // first data byte to the pass text
        double cpuS = 0;
        QString result;
    };

    // One run of the command, then Exit.
    Run runOnce(const DeviceCommand &command)
    {
        Run run;
        bool pressed = false;
        double cpuAtStart = 0;
        view.firstByteNs = -1;
        view.onWaiting = [&] {
            if (pressed) {
                run.wallS = double(view.clock.nsecsElapsed()) / 1e9;
                run.cpuS = threadCpuSeconds() - cpuAtStart;
                run.transferS = double(view.lastTextNs - view.firstByteNs) / 1e9;
                run.result = view.statusLine(1);
                for (int line = 2; line <= 6; ++line)
                    if (!view.statusLine(line).isEmpty())
                        run.result = view.statusLine(line);
            }
            QTimer::singleShot(0, &context, [&] {
                if (pressed) {
                    runner.StopRunClick();
                    return;
                }
                pressed = true;
                emu.clearLog();
                cpuAtStart = threadCpuSeconds();
                view.clock.start();
                runner.StartRunClick();
            });
        };
        runner.arm(command);
        return run;
    }
};

int throughput(bool window)
{
    Bench bench(window);
    if (!bench.start(false))
        return 1;
    const double chars = 320.0 * 130.0;
    struct Item
    {
        const char *name;
        DeviceCommand::Id command;
    };
    const Item items[] = {{"Program", DeviceCommand::Id::Program},
                          {"Verify", DeviceCommand::Id::Verify},
                          {"Read", DeviceCommand::Id::Read}};
    std::printf("AT89C55, 320 blocks, %.0f block characters, emulator unpaced, %s\n", chars,
                window ? "main window" : "bare view");
    std::printf("%-8s %12s %10s %12s %10s %8s  %s\n", "command", "chars/s", "x line", "run chars/s", "x line",
                "cpu s", "result");
    for (const Item &item : items) {
        const Bench::Run run = bench.runOnce(DeviceCommand::get(item.command));
        const double rate = chars / run.transferS;
        const double runRate = chars / run.wallS;
        std::printf("%-8s %12.0f %10.1f %12.0f %10.1f %8.2f  %s\n", item.name, rate, rate / LineRate, runRate,
                    runRate / LineRate, run.cpuS, qPrintable(run.result));
    }
    std::printf("chars/s: first data byte to the pass; run: Run pressed to the pass (with the frame's 100 ms pause)\n");
    return 0;
}

int pacedAuto(bool window)
{
    Bench bench(window);
    if (!bench.start(true))
        return 1;
    const Bench::Run run = bench.runOnce(DeviceCommand::get(DeviceCommand::Id::Auto));
    const qint64 bytes = bench.emu.received().size() + bench.emu.sent().size();
    const double lineS = double(bytes) * double(ProgrammerEmulator::ByteTimeNs) / 1e9;
    const double pausesS = 5 * 0.1; // the plain pause inside each of the five frames
    std::printf("Auto, AT89C55, emulator paced at 19200 baud, %s: %s\n", window ? "main window" : "bare view",
                qPrintable(run.result));
    std::printf("bytes on the line (both directions): %lld, line time %.2f s\n", bytes, lineS);
    std::printf("wall time %.2f s, ratio %.4f (%.4f without the five 100 ms frame pauses)\n", run.wallS,
                run.wallS / lineS, (run.wallS - pausesS) / lineS);
    std::printf("main thread CPU %.2f s = %.2f %% of one core\n", run.cpuS, 100.0 * run.cpuS / run.wallS);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("throughput");
    const bool window = argc > 2 && QByteArray(argv[2]) == "window";
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (mode == QLatin1String("throughput"))
        return throughput(window);
    if (mode == QLatin1String("auto"))
        return pacedAuto(window);
    std::fprintf(stderr, "usage: bench_commands [throughput|auto] [window]\n");
    return 2;
}
