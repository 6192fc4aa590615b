#include "DeviceCatalogue.h"
#include "EmulatorFault.h"
#include "OperatorScript.h"
#include "ProgrammerEmulator.h"
#include "ScriptedPrompter.h"
#include "TTarvoForm.h"
#include "TarvoLayout.h"
#include "WindowDriver.h"
#include "WindowModes.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using Mode = WindowModes::Mode;

namespace {

const char *modeName(Mode mode)
{
    switch (mode) {
    case Mode::Idle:
        return "idle";
    case Mode::Armed:
        return "armed";
    case Mode::Running:
        return "running";
    }
    return "?";
}

// The enabled state the window is to have, written out from what each mode
// allows rather than from the class under test: Run only while armed, Exit
// or Stop while a command holds the window, Reset except while running,
// Connect, the menus and the lists only when idle; the six displays of the
// device and buffer are never enabled; the Device items follow the device.
bool expectedOn(const QString &name, Mode mode, const QStringList &deviceItemsOn)
{
    static const QStringList choices = {"CheckTarvo", "File1", "Operation1", "Help1", "SelectComPort",
                                        "SelectDevice"};
    static const QStringList displays = {"Device_Algo", "Device_Vpp", "Device_End",
                                         "SelectFileName", "Buffer_End", "Buffer_Sum"};
    static const QStringList deviceItems = {"EraseDevice", "BlankDevice", "ProgramDevice", "VerifyDevice", "Lock1",
                                            "Lock2", "Lock3", "Fuse", "ReadDevice", "AutoProgram"};
    if (name == QLatin1String("StartRun"))
        return mode == Mode::Armed;
    if (name == QLatin1String("StopRun"))
        return mode != Mode::Idle;
    if (name == QLatin1String("ResetCount"))
        return mode != Mode::Running;
    if (choices.contains(name))
        return mode == Mode::Idle;
    if (displays.contains(name))
        return false;
    if (deviceItems.contains(name))
        return deviceItemsOn.contains(name);
    return true;
}

// Every named control and menu item of the window whose enabled state is not
// the expected one, as "name=on" or "name=off".
QStringList mismatches(const QWidget *window, Mode mode, const QStringList &deviceItemsOn)
{
    QStringList wrong;
    const auto check = [&](const QObject *object, bool enabled) {
        const QString name = object->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            return;
        if (enabled != expectedOn(name, mode, deviceItemsOn))
            wrong << name + (enabled ? QStringLiteral("=on") : QStringLiteral("=off"));
    };
    for (const QWidget *w : window->findChildren<QWidget *>())
        check(w, w->isEnabled());
    for (const QAction *a : window->findChildren<QAction *>())
        check(a, a->isEnabled());
    return wrong;
}

QStringList itemsOf(const DeviceMenuState &menu)
{
    static const char *const names[] = {"EraseDevice", "BlankDevice", "ProgramDevice", "VerifyDevice", "Lock1",
                                        "Lock2", "Lock3", "Fuse", "ReadDevice", "AutoProgram"};
    QStringList on;
    for (std::size_t i = 0; i < DeviceMenuState::Count; ++i)
        if (menu.enabled[i])
            on << QLatin1String(names[i]);
    return on;
}

} // namespace

class TestWindowModes : public QObject
{
    Q_OBJECT

private slots:
    // The modes on the bare layout, no window logic behind it: every control
    // and item takes the state its mode gives, whatever came before, and the
    // Device items keep theirs across modes.
    void everyControlFollowsTheMode()
    {
        QMainWindow window;
        TarvoLayout ui;
        ui.build(&window);
        WindowModes modes(ui);

        DeviceMenuState some;
        some[DeviceMenuItem::EraseDevice] = true;
        some[DeviceMenuItem::Fuse] = true;
        some[DeviceMenuItem::AutoProgram] = true;
        for (const DeviceMenuState &menu : {DeviceMenuState(), some}) {
            modes.setDeviceMenu(menu);
            for (Mode mode : {Mode::Armed, Mode::Running, Mode::Idle, Mode::Running, Mode::Armed, Mode::Idle}) {
                modes.setMode(mode);
                QCOMPARE(modes.mode(), mode);
                QVERIFY2(mismatches(&window, mode, itemsOf(menu)).isEmpty(),
                         qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(modeName(mode)),
                                                                 mismatches(&window, mode, itemsOf(menu)).join(','))));
            }
        }

        // Program, Verify and Auto join what the device allows.
        modes.enableBufferCommands();
        const QStringList after = {"EraseDevice", "ProgramDevice", "VerifyDevice", "Fuse", "AutoProgram"};
        QCOMPARE(itemsOf(modes.deviceMenu()), after);
        QCOMPARE(mismatches(&window, Mode::Idle, after), QStringList());
    }

    // The real window through a session with the emulated programmer: at each
    // step of arming, running, passing, leaving and failing, every control
    // and menu item is as its mode sets it.
    void windowWalksTheModes()
    {
        ProgrammerEmulator emu;
        emu.setSocketDevice(QStringLiteral("AT89C2051"));
        QString error;
        QVERIFY2(emu.start(&error), qPrintable(error));
        qputenv("TARVO_COM1", emu.slavePath().toLocal8Bit());
        ScriptedPrompter prompter;
        TTarvoForm form(prompter);
        form.show();

        QCOMPARE(mismatches(&form, Mode::Idle, {}), QStringList());
        WindowDriver::chooseEntry(form.controls().SelectComPort, 0);
        QVERIFY(form.link().HardwareFound());
        WindowDriver::chooseEntry(form.controls().SelectDevice, DeviceCatalogue::indexOf(QStringLiteral("AT89C2051")));
        const QStringList device = itemsOf(form.modes().deviceMenu());
        QVERIFY(device.contains(QLatin1String("EraseDevice")));
        QCOMPARE(mismatches(&form, Mode::Idle, device), QStringList());

        // The erase reply comes late, so that the run can be seen running.
        emu.addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Delay)
                         .forCommand(0x05)
                         .withDelay(300));
        QStringList armed, running, passed;
        // The one mode itself follows the run, not only the controls.
        Mode runningMode = Mode::Idle;
        const auto isArmed = [&] { return form.runner().active() && !form.runner().running() && form.runEnabled(); };
        OperatorScript script;
        script.rejectStrayModals = true;
        script.then("armed", isArmed,
                    [&] {
                        armed = mismatches(&form, Mode::Armed, device);
                        form.controls().StartRun->click();
                    })
            .then("running", [&] { return form.runner().running(); },
                  [&] {
                      running = mismatches(&form, Mode::Running, device);
                      runningMode = form.modes().mode();
                  })
            .then("passed", [&] { return isArmed() && form.session().successCount() == 1; },
                  [&] {
                      passed = mismatches(&form, Mode::Armed, device);
                      form.controls().StopRun->click();
                  });
        script.start();
        form.controls().EraseDevice->trigger();
        script.stop();
        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(armed, QStringList());
        QCOMPARE(running, QStringList());
        QCOMPARE(int(runningMode), int(Mode::Running));
        QCOMPARE(passed, QStringList());
        QCOMPARE(form.modes().mode(), Mode::Idle);
        QCOMPARE(mismatches(&form, Mode::Idle, device), QStringList());

        // A failed run leaves the command: idle again, the device's items kept.
        emu.addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Nak).forCommand(0x05));
        OperatorScript failing;
        failing.then("armed", isArmed, [&] { form.controls().StartRun->click(); });
        failing.start();
        form.controls().EraseDevice->trigger();
        failing.stop();
        QVERIFY2(failing.finished(), qPrintable(failing.pending()));
        QCOMPARE(form.session().failureCount(), uint8_t(1));
        QCOMPARE(form.modes().mode(), Mode::Idle);
        QCOMPARE(mismatches(&form, Mode::Idle, device), QStringList());
        qunsetenv("TARVO_COM1");
    }
};

QTEST_MAIN(TestWindowModes)
#include "tst_WindowModes.moc"
