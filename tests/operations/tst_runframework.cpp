#include "EmulatorReceived.h"
#include "RunnerHarness.h"

#include <QTest>
#include <QTimer>
#include <memory>

namespace {

// A command of the Device menu by its caption's word.
const DeviceCommand &commandOf(const QString &name)
{
    for (const DeviceCommand &c : DeviceCommand::all())
        if (name.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return c;
    qFatal("no command %s", qPrintable(name));
}

const QStringList NoLines(6, QString());

} // namespace

// The framework every command runs in, shown on the single-reply commands.
class TestRunFramework : public QObject
{
    Q_OBJECT
    std::unique_ptr<RunnerHarness> h;

    void choose(const QString &command) { h->runner.arm(commandOf(command)); }
    void verifyIdle()
    {
        QCOMPARE(h->view.caption, QStringLiteral("No Command Select?"));
        QVERIFY(!h->view.captionArmed);
        QVERIFY(!h->view.runIsEnabled);
        QCOMPARE(h->view.stopCaption, QStringLiteral("Exit"));
        QVERIFY(!h->view.stopEnabled);
        QVERIFY(h->view.resetEnabled);
        QVERIFY(!h->view.windowLocked);
        QVERIFY(!h->view.gaugeVisible);
        QVERIFY(!h->runner.active());
        QVERIFY(!h->runner.RunPressed && !h->link.AbortRequested() && !h->link.StopRequested());
    }
    void verifyFailedWith(const QString &text)
    {
        QCOMPARE(h->view.currentLines(), (QStringList{text, "Command......Abort", "", "", "", ""}));
        QCOMPARE(h->view.failureText, QStringLiteral("Failure : 1"));
        QCOMPARE(h->view.successText, QStringLiteral("Success : 0"));
        QVERIFY(EmulatorReceived::endsWith(h->emu, Ctl::CAN));
        verifyIdle();
        QCOMPARE(h->view.focus, QStringLiteral("AfterFailure"));
    }

private slots:
    void init()
    {
        h = std::make_unique<RunnerHarness>();
        QVERIFY(h->ready());
        h->runner.setTimeouts({300, 600});
    }
    void cleanup() { h.reset(); }

    void commandNeedsHardware()
    {
        h->link.forgetHardware();
        h->arm(DeviceCommand::Id::Erase);
        QCOMPARE(h->prompter.shown.size(), 1);
        QCOMPARE(h->prompter.shown[0].text, QStringLiteral("Comport Not Connect"));
        QCOMPARE(h->prompter.shown[0].icon, Prompter::Icon::None);
        QCOMPARE(h->prompter.shown[0].buttons, Prompter::Buttons::Ok);
        QVERIFY(h->view.caption.isEmpty());
        QVERIFY(!h->view.windowLocked);
        QVERIFY(h->emu.received().isEmpty());
    }

    void exitBeforeRun_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Erase") << "Erase" << "   Erase Device   ";
        QTest::newRow("Blank") << "Blank" << "Blank Check Device";
        QTest::newRow("Program") << "Program" << "  Program Device  ";
        QTest::newRow("Verify") << "Verify" << "  Verify Device   ";
        QTest::newRow("Lock1") << "Lock1" << "Lock 1-Bit Device ";
        QTest::newRow("Lock2") << "Lock2" << "Lock 2-Bit Device ";
        QTest::newRow("Lock3") << "Lock3" << "Lock 3-Bit Device ";
        QTest::newRow("Read") << "Read" << "   Read Device    ";
        QTest::newRow("Auto") << "Auto" << "   Auto Program   ";
    }
    // Armed, then Exit: back to Idle, nothing sent, nothing counted.
    void exitBeforeRun()
    {
        QFETCH(QString, command);
        QFETCH(QString, caption);
        h->view.lines[1] = QStringLiteral("old failure text");
        RecordingView armed;
        h->pressRun(0);
        h->atWait = [&] { armed = h->view; };
        choose(command);

        QCOMPARE(armed.caption, caption);
        QCOMPARE(armed.caption.size(), 18);
        QVERIFY(armed.captionArmed);
        QVERIFY(armed.runIsEnabled);
        QCOMPARE(armed.stopCaption, QStringLiteral("Exit"));
        QVERIFY(armed.stopEnabled);
        QVERIFY(armed.resetEnabled);
        QVERIFY(armed.windowLocked);
        QVERIFY(!armed.gaugeVisible);
        QCOMPARE(armed.focus, QStringLiteral("Run"));
        QCOMPARE(armed.currentLines(), NoLines);

        verifyIdle();
        QCOMPARE(h->view.currentLines(), NoLines);
        QCOMPARE(h->view.successText, QStringLiteral("Success : 0"));
        QCOMPARE(h->view.failureText, QStringLiteral("Failure : 0"));
        QVERIFY(h->emu.received().isEmpty());
    }

    void exitWinsOverRunInSameBatch()
    {
        h->view.onWaiting = [&] {
            QTimer::singleShot(0, this, [&] {
                h->runner.StartRunClick();
                h->runner.StopRunClick();
            });
        };
        h->arm(DeviceCommand::Id::Erase);
        verifyIdle();
        QVERIFY(h->emu.received().isEmpty());
    }

    // A second command chosen while one is armed (a shortcut, a timer) is ignored.
    void secondCommandIgnored()
    {
        int waits = 0;
        h->view.onWaiting = [&] {
            ++waits;
            QTimer::singleShot(0, this, [&] {
                h->arm(DeviceCommand::Id::Read);
                h->runner.StopRunClick();
            });
        };
        h->arm(DeviceCommand::Id::Erase);
        QCOMPARE(waits, 1);
        verifyIdle();
        QVERIFY(h->emu.received().isEmpty());
    }

    void singleReplyPasses_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("pass");
        QTest::newRow("erase") << "Erase" << "AT89C2051" << "05000001" << "Erase....." << "Erase.........Pass";
        QTest::newRow("blank") << "Blank" << "AT89C55" << "0A4FFF03" << "Blank....." << "Blank.........Pass";
        QTest::newRow("lock1") << "Lock1" << "AT89C51" << "03000103" << "Lock1....." << "Lock1.........Pass";
        QTest::newRow("lock2") << "Lock2" << "AT89C51" << "03000203" << "Lock1,2..." << "Lock1,2.......Pass";
        QTest::newRow("lock3") << "Lock3" << "AT89C51" << "03000303" << "Lock1,2,3." << "Lock1,2,3.....Pass";
    }
    // Two devices in a row, then Exit.
    void singleReplyPasses()
    {
        QFETCH(QString, command);
        QFETCH(QString, device);
        QFETCH(QString, word);
        QFETCH(QString, running);
        QFETCH(QString, pass);
        h->selectDevice(device);
        QList<RecordingView> waits;
        h->pressRun(2);
        h->atWait = [&] { waits.append(h->view); };
        choose(command);

        QCOMPARE(h->emu.commandWords(), (QStringList{word, word}));
        QCOMPARE(h->sentAfterFrame(0), QByteArray(1, Ctl::ENQ));
        QCOMPARE(h->sentAfterFrame(1), QByteArray(1, Ctl::ENQ));
        QCOMPARE(h->view.history(1), (QStringList{"", "", running, pass, "", running, pass, ""}));
        QCOMPARE(waits.size(), 3);
        const RecordingView &passed = waits[1];
        QCOMPARE(passed.currentLines(), (QStringList{pass, "", "", "", "", ""}));
        QVERIFY(passed.gaugeVisible);
        QCOMPARE(passed.gaugeMaximum, int(h->deviceEnd()));
        QCOMPARE(passed.gaugeProgress, int(h->deviceEnd()));
        QCOMPARE(passed.focus, QStringLiteral("Stop"));
        QVERIFY(passed.runIsEnabled && passed.stopEnabled && passed.resetEnabled && passed.windowLocked);
        QCOMPARE(passed.stopCaption, QStringLiteral("Exit"));
        QCOMPARE(passed.successText, QStringLiteral("Success : 1"));
        QCOMPARE(h->view.successText, QStringLiteral("Success : 2"));
        verifyIdle();
    }

    void singleReplyFailures_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("text");
        using A = EmulatorFault::Action;
        QTest::newRow("erase NAK") << "Erase" << int(A::Nak) << 0 << "Erase.........Fail";
        QTest::newRow("erase DC1") << "Erase" << int(A::Garbage) << 0x11 << "Erase........Error";
        QTest::newRow("erase silent") << "Erase" << int(A::Silence) << 0 << "Erase.....Time-Out";
        QTest::newRow("blank other byte") << "Blank" << int(A::Garbage) << 0x41 << "Blank Check..Error";
        QTest::newRow("lock1 NAK") << "Lock1" << int(A::Nak) << 0 << "Lock1.........Fail";
        QTest::newRow("lock2 silent") << "Lock2" << int(A::Silence) << 0 << "Lock1,2...Time-Out";
        QTest::newRow("lock3 other byte") << "Lock3" << int(A::Garbage) << 0x00 << "Lock1,2,3....Error";
    }
    void singleReplyFailures()
    {
        QFETCH(QString, command);
        QFETCH(int, action);
        QFETCH(int, byte);
        QFETCH(QString, text);
        h->emu.addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action(action))
                            .withByte(uint8_t(byte)));
        h->pressRun(1);
        choose(command);
        verifyFailedWith(text);
        QCOMPARE(h->sentAfterFrame(0), QByteArray(1, Ctl::CAN));
    }

    void countersWrapAndReset()
    {
        h->runner.setCounts({255, 0});
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Erase);
        QCOMPARE(h->view.successText, QStringLiteral("Success : 0"));

        h->runner.setCounts({h->runner.counts().success, 255});
        h->emu.addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Nak));
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Erase);
        QCOMPARE(h->view.failureText, QStringLiteral("Failure : 0"));

        // Reset is refused while running and works while armed.
        h->runner.setCounts({7, 9});
        h->emu.addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Delay).withDelay(200));
        bool resetShownWhileRunning = true;
        h->when([&] { return h->emu.frameCount() >= 3; },
                [&] {
                    resetShownWhileRunning = h->view.resetEnabled;
                    h->runner.ResetCountClick();
                });
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Erase);
        QVERIFY(!resetShownWhileRunning);
        QCOMPARE(h->view.successText, QStringLiteral("Success : 8"));

        h->pressRun(0);
        h->atWait = [&] { h->runner.ResetCountClick(); };
        h->arm(DeviceCommand::Id::Erase);
        QCOMPARE(h->view.successText, QStringLiteral("Success : 0"));
        QCOMPARE(h->view.failureText, QStringLiteral("Failure : 0"));
    }

    void stopWhileReplyAwaited_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void stopWhileReplyAwaited()
    {
        QFETCH(bool, yes);
        h->runner.setTimeouts({1500, 15000});
        h->emu.addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Delay).withDelay(700));
        h->prompter.queue(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        h->when([&] { return h->emu.frameCount() >= 1; }, [&] { h->runner.StopRunClick(); });
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Erase);

        QCOMPARE(h->prompter.texts(), QStringList{"Do you want to Stop Command..?"});
        QCOMPARE(h->prompter.shown[0].icon, Prompter::Icon::Question);
        QCOMPARE(h->prompter.shown[0].buttons, Prompter::Buttons::YesNo);
        if (yes) {
            verifyFailedWith("Erase.....Time-Out");
        } else {
            QCOMPARE(h->view.history(1).mid(2, 2), (QStringList{"Erase.....", "Erase.........Pass"}));
            QCOMPARE(h->view.successText, QStringLiteral("Success : 1"));
        }
    }

    void replyTimeLimit_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("passes");
        QTest::newRow("1350 ms") << 1350 << true;
        QTest::newRow("1650 ms") << 1650 << false;
    }
    // At a 1500 ms limit; a late reply must not answer the next command word.
    void replyTimeLimit()
    {
        QFETCH(int, delayMs);
        QFETCH(bool, passes);
        h->runner.setTimeouts({300, 1500});
        h->emu.addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Delay).withDelay(delayMs));
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Erase);
        if (passes) {
            QCOMPARE(h->view.history(1).at(3), QStringLiteral("Erase.........Pass"));
            return;
        }
        verifyFailedWith("Erase.....Time-Out");
        // Let the late ACK reach the port, if the programmer still sends it.
        (void)QTest::qWaitFor([&] { return h->emu.sent().contains(Ctl::ACK); }, 1000);
        h->emu.addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Nak));
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Erase);
        QCOMPARE(h->view.lines[1], QStringLiteral("Erase.........Fail"));
    }

    // A Stop click that reaches the window as the run fails must not ask
    // its question at the CAN, where Yes would keep CAN off the line.
    void stopPendingAtFailure()
    {
        h->emu.addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Nak));
        h->view.onStatusLine = [&](int, const QString &text) {
            if (text == QStringLiteral("Command......Abort"))
                h->runner.StopRunClick();
        };
        h->prompter.defaultAnswer = Prompter::Answer::Yes;
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Erase);
        QVERIFY(h->prompter.shown.isEmpty());
        verifyFailedWith("Erase.........Fail");
    }

    // The port switch failed: closed port, hardware still marked found.
    void closedPortEndsThroughFailure()
    {
        h->link.port().close();
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Blank);
        QCOMPARE(h->view.currentLines(), (QStringList{"Blank.....Time-Out", "Command......Abort", "", "", "", ""}));
        QCOMPARE(h->view.failureText, QStringLiteral("Failure : 1"));
        QCOMPARE(h->prompter.texts(), QStringList{"Comport Not Found"});
        verifyIdle();
    }

    // The window closing ends the routine as Exit would while armed...
    void closingWhileArmed()
    {
        h->view.onWaiting = [&] { QTimer::singleShot(0, this, [&] { h->link.requestShutdown(); }); };
        h->arm(DeviceCommand::Id::Lock1);
        verifyIdle();
        QVERIFY(h->emu.received().isEmpty());
    }

    // ...and as a confirmed stop while running: CAN still goes out.
    void closingWhileRunning()
    {
        h->runner.setTimeouts({1500, 15000});
        h->emu.addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Silence));
        h->when([&] { return h->emu.frameCount() >= 1; }, [&] { h->link.requestShutdown(); });
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Erase);
        verifyFailedWith("Erase.....Time-Out");
        QVERIFY(h->prompter.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRunFramework)
#include "tst_runframework.moc"
