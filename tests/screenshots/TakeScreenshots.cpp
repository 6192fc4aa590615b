// tarvo-screenshots OUTDIR: the README's pictures of the main window, taken
// from the real window driven against the emulated programmer on the
// offscreen platform: idle with the example loaded, an Auto run in
// progress, a pass, and a failure. Each picture is taken only once the
// window shows what it is meant to show; exit code 1 otherwise.
#include "OperatorScript.h"
#include "WindowDriver.h"

#include "DeviceCatalogue.h"
#include "FileChooser.h"
#include "ProgramDialogs.h"
#include "ProgrammerEmulator.h"
#include "ScriptedPrompter.h"
#include "TTarvoForm.h"
#include "PercentGauge.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace {

class ExampleChooser : public FileChooser
{
public:
    QString openFileName() override { return QStringLiteral(EXAMPLES_DIR "/blink-8051/blink.hex"); }
    QString saveFileName() override { return {}; }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarvo-screenshots OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QStringList problems;
    auto shoot = [&](QWidget &w, const char *name, bool shows) {
        // The window paints its displays at frame ends: let a few pass.
        QTest::qWait(100);
        if (!shows)
            problems << QStringLiteral("%1: the window did not show that state").arg(QLatin1String(name));
        else if (!w.grab().save(out.filePath(QLatin1String(name) + QStringLiteral(".png"))))
            problems << QStringLiteral("%1: cannot write into %2").arg(QLatin1String(name), out.path());
    };

    ProgrammerEmulator emu;
    QString error;
    if (!emu.start(&error))
        qFatal("emulator: %s", qPrintable(error));
    qputenv("TARVO_COM1", emu.slavePath().toLocal8Bit());

    ScriptedPrompter prompter;
    ExampleChooser chooser;
    TTarvoForm form(prompter);
    form.setFileChooser(&chooser);
    form.createSecondaryWindows(programDialogs(form));
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        qFatal("the window did not show");

    // The README's first steps: Com1, the device, the example.
    const TarvoLayout &ui = form.controls();
    WindowDriver::chooseEntry(ui.SelectComPort, 0);
    WindowDriver::chooseEntry(ui.SelectDevice, DeviceCatalogue::indexOf(QStringLiteral("AT89C2051")));
    WindowDriver::control<QAction>(&form, "FileOpenItem")->trigger();
    auto label = [&form](const char *name) { return WindowDriver::control<QLabel>(&form, name)->text(); };
    shoot(form, "idle", form.link().HardwareFound() && form.selection().DeviceSelected && form.buffer().FileLoaded);

    // Block 14 of 32 of the program transfer is asked for a second late
    // (within the 1500 ms the program waits), so the run is caught half way.
    emu.addFault(EmulatorFault::at(EmulatorFault::Event::BlockRequest, EmulatorFault::Action::Delay, 14)
                     .forCommand(0x01)
                     .withDelay(1000));
    auto armed = [&form] { return form.runner().active() && !form.runner().running() && form.runEnabled(); };
    OperatorScript steps;
    steps.then("armed", armed, [&ui] { ui.StartRun->click(); });
    steps.then("half way", [&] { return form.statusLine(3).startsWith(QLatin1String("Program")) && ui.PercentRun->percent() >= 40; },
               [&] { shoot(form, "running", form.runner().running()); });
    steps.then("pass", [&] { return armed() && form.statusLine(6) == QLatin1String("Auto Program..Pass"); },
               [&] {
                   shoot(form, "pass", label("PassCount") == QLatin1String("Success : 1"));
                   // The next device has a weak cell: byte 5 of block 2 does
                   // not take, and the verify finds it.
                   emu.addFault(EmulatorFault::at(EmulatorFault::Event::BlockReceived,
                                                  EmulatorFault::Action::WrongData, 2)
                                    .forCommand(0x01)
                                    .withOffset(5));
                   ui.StartRun->click();
               });
    // Should the window never show a state, end the command's waits so the
    // tool reports it instead of hanging.
    QTimer::singleShot(60000, &form, [&] {
        problems << QStringLiteral("timed out");
        form.link().requestShutdown();
    });
    steps.start();
    // Auto's Run loop: returns once the command is left (after the failure).
    WindowDriver::control<QAction>(&form, "AutoProgram")->trigger();

    if (!steps.finished())
        problems << QStringLiteral("the run ended early, before \"%1\": %2")
                        .arg(steps.pending(), form.statusLine(3) + QLatin1Char(' ') + form.statusLine(4));
    else
        shoot(form, "failure", label("FailCount") == QLatin1String("Failure : 1") && !form.runner().active());
    for (const QString &p : problems)
        std::fprintf(stderr, "tarvo-screenshots: %s\n", qPrintable(p));
    return problems.isEmpty() ? 0 : 1;
}
