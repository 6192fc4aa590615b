#include "AccessibleEvents.h"
#include "DeviceCatalogue.h"
#include "KeyRepeatGuard.h"
#include "MessageBoxPrompter.h"
#include "OperatorScript.h"
#include "PercentGauge.h"
#include "ProgramDialogs.h"
#include "ProgrammerEmulator.h"
#include "ScriptedPrompter.h"
#include "TFuseForm.h"
#include "TTarvoForm.h"
#include "WindowDriver.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

// The operator's keys on the real window against the emulated programmer:
// a held key (auto-repeat) presses nothing, a press while the focus settles
// after a run goes nowhere, Reset from the keyboard asks, and the lists are
// walked with the arrows. Then what a screen reader hears, and how often.
class TestOperatorKeys : public QObject
{
    Q_OBJECT

    const TarvoLayout &ui() { return m_form->controls(); }
    QString line(int n) { return m_form->statusLine(n); }
    QString passCount() { return ui().PassCount->text(); }
    bool armed() { return m_form->runner().active() && !m_form->runner().running() && m_form->runEnabled(); }

    // A key as the keyboard sends it to the focused control: a press (a
    // repeat when held), then a release.
    static void key(Qt::Key key, bool autoRepeat)
    {
        QPointer<QWidget> target = QApplication::focusWidget();
        // A box the offscreen platform has not activated: its own focus.
        if (QWidget *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            target = box->focusWidget();
        if (!target)
            qFatal("no focus");
        const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QStringLiteral("\r");
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text, autoRepeat);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text, autoRepeat);
        if (target)
            QApplication::sendEvent(target, &release);
    }
    // Five repeats of a held key, as after the first press of it.
    static void held(Qt::Key k)
    {
        for (int i = 0; i < 5; ++i)
            key(k, true);
    }
    // A fresh press once the focus has settled.
    static void fresh(Qt::Key k)
    {
        QTest::qWait(KeyRepeatGuard::SettleMs + 50);
        key(k, false);
    }
    QString focusName() { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(); }

    static void activateBox()
    {
        QTRY_VERIFY(qobject_cast<QMessageBox *>(QApplication::activeModalWidget()));
        QVERIFY(QApplication::activeModalWidget()->focusWidget());
    }

    void detect()
    {
        WindowDriver::chooseEntry(ui().SelectComPort, 0);
        QVERIFY(m_form->link().HardwareFound());
    }
    void chooseDevice(const char *name)
    {
        WindowDriver::chooseEntry(ui().SelectDevice, DeviceCatalogue::indexOf(QLatin1String(name)));
    }

private slots:
    void init()
    {
        m_emu = std::make_unique<ProgrammerEmulator>();
        QString error;
        QVERIFY2(m_emu->start(&error), qPrintable(error));
        qputenv("TARVO_COM1", m_emu->slavePath().toLocal8Bit());
        m_guard = std::make_unique<KeyRepeatGuard>();
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_form = std::make_unique<TTarvoForm>(*m_prompter);
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        m_watchdog = std::make_unique<QTimer>();
        m_watchdog->setSingleShot(true);
        connect(m_watchdog.get(), &QTimer::timeout, m_form.get(), [this] {
            if (auto *dialog = QApplication::activeModalWidget())
                dialog->close();
            m_form->link().requestShutdown();
        });
        m_watchdog->start(30000);
    }
    void cleanup()
    {
        m_watchdog.reset();
        m_form.reset();
        m_prompter.reset();
        m_guard.reset();
        m_emu.reset();
        qunsetenv("TARVO_COM1");
    }

    // Held Return on Run, Exit and Reset does nothing; fresh presses run the
    // command, leave it (the focus then on Connect), and ask before Reset.
    void heldKeysPressNothing()
    {
        detect();
        chooseDevice("AT89C2051");
        const auto before = m_emu->commandWords().size();
        QString focusAfterPass, afterHeldExit;
        bool runPressedByHeld = true;
        OperatorScript script;
        script.then("armed", [&] { return armed(); },
                    [&] {
                        QTest::qWait(KeyRepeatGuard::SettleMs + 50);
                        held(Qt::Key_Return);
                        held(Qt::Key_Enter);
                        held(Qt::Key_Space);
                        runPressedByHeld = m_form->runner().RunPressed;
                        fresh(Qt::Key_Space);
                    })
            .then("first pass", [&] { return armed() && line(1) == QLatin1String("Erase.........Pass"); },
                  [&] {
                      focusAfterPass = focusName();
                      held(Qt::Key_Return);
                      held(Qt::Key_Space);
                      QTest::qWait(50);
                      afterHeldExit = m_form->link().AbortRequested() ? QStringLiteral("left") : QStringLiteral("armed");
                      fresh(Qt::Key_Return); // Exit
                  });
        script.start();
        m_form->controls().EraseDevice->trigger();
        script.stop();
        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QVERIFY(!runPressedByHeld);
        QCOMPARE(focusAfterPass, QStringLiteral("StopRun"));
        QCOMPARE(afterHeldExit, QStringLiteral("armed"));
        QCOMPARE(m_emu->commandWords().size() - before, 1);
        QCOMPARE(passCount(), QStringLiteral("Success : 1"));
        QCOMPARE(focusName(), QStringLiteral("CheckTarvo"));

        // Reset: held does nothing; a fresh press asks, No keeps the count.
        ui().ResetCount->setFocus();
        held(Qt::Key_Return);
        QCOMPARE(m_prompter->texts(), QStringList());
        fresh(Qt::Key_Return);
        QCOMPARE(m_prompter->texts(), QStringList({"Reset the Success and Failure counters?"}));
        QCOMPARE(passCount(), QStringLiteral("Success : 1"));
        m_prompter->queue(Prompter::Answer::Yes);
        fresh(Qt::Key_Space);
        QCOMPARE(passCount(), QStringLiteral("Success : 0"));
    }

    // Enter three times on an armed command: it runs, leaves, and the third
    // lands on Connect (a detection), never on Reset. A press right after a
    // pass, while the focus settles, goes nowhere.
    void enterThreeTimesKeepsTheCounters()
    {
        detect();
        chooseDevice("AT89C2051");
        bool settlingPressIgnored = false;
        OperatorScript script;
        script.then("armed", [&] { return armed(); }, [&] { fresh(Qt::Key_Return); })
            .then("pass", [&] { return armed() && line(1) == QLatin1String("Erase.........Pass"); },
                  [&] {
                      key(Qt::Key_Return, false); // at once: the focus is still settling
                      QTest::qWait(50);
                      settlingPressIgnored = !m_form->link().AbortRequested();
                      fresh(Qt::Key_Return);
                  });
        script.start();
        m_form->controls().EraseDevice->trigger();
        script.stop();
        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QVERIFY(settlingPressIgnored);
        QCOMPARE(focusName(), QStringLiteral("CheckTarvo"));
        fresh(Qt::Key_Return);
        QTRY_VERIFY(!m_form->busy());
        QCOMPARE(passCount(), QStringLiteral("Success : 1"));
        QCOMPARE(m_prompter->texts(), QStringList());
    }

    // A held Return lands on Stop during a run: no stop question, the run
    // passes.
    void heldReturnOnStopAsksNothing()
    {
        detect();
        chooseDevice("AT89C4051");
        m_emu->setPaced(true);
        QString focusDuring;
        OperatorScript script;
        script.then("armed", [&] { return armed(); }, [&] { fresh(Qt::Key_Return); })
            .then("running", [&] { return m_form->runner().running() && line(1).startsWith(QLatin1String("Read")); },
                  [&] {
                      QTest::qWait(KeyRepeatGuard::SettleMs + 50);
                      focusDuring = focusName();
                      held(Qt::Key_Return);
                  })
            .then("pass", [&] { return armed() && line(1) == QLatin1String("Read..........Pass"); },
                  [&] { ui().StopRun->click(); });
        script.start();
        m_form->controls().ReadDevice->trigger();
        script.stop();
        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(focusDuring, QStringLiteral("StopRun"));
        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(ui().FailCount->text(), QStringLiteral("Failure : 0"));
    }

    // A held Return does not answer a message box again; a fresh one does.
    void heldReturnAnswersNoBox()
    {
        MessageBoxPrompter boxes(m_form.get());
        QString stillOpen;
        QTimer::singleShot(0, this, [&] {
            activateBox();
            held(Qt::Key_Return);
            QTest::qWait(50);
            stillOpen = QApplication::activeModalWidget() ? QStringLiteral("open") : QStringLiteral("closed");
            fresh(Qt::Key_Return);
        });
        const Prompter::Answer answer = boxes.show(Prompter::Icon::Question, QStringLiteral("Stop?"), Prompter::Buttons::YesNo);
        QCOMPARE(stillOpen, QStringLiteral("open"));
        QCOMPARE(answer, Prompter::Answer::Yes);

        // Reset's box: No is the default, so Enter keeps the counters.
        QTimer::singleShot(0, this, [&] {
            activateBox();
            fresh(Qt::Key_Return);
        });
        QCOMPARE(boxes.show(Prompter::Icon::Question, QStringLiteral("Reset?"), Prompter::Buttons::YesNoDefaultNo),
                 Prompter::Answer::No);
    }

    // In production the focus stays on Run after a pass: Enter runs the next
    // device (a held one does not).
    void keepRunFocus()
    {
        m_form->setKeepRunFocus(true);
        detect();
        chooseDevice("AT89C2051");
        const auto before = m_emu->commandWords().size();
        QString focusAfterPass;
        bool runPressedByHeld = true;
        OperatorScript script;
        script.then("armed", [&] { return armed(); }, [&] { fresh(Qt::Key_Return); })
            .then("first pass", [&] { return armed() && passCount() == QLatin1String("Success : 1"); },
                  [&] {
                      focusAfterPass = focusName();
                      QTest::qWait(KeyRepeatGuard::SettleMs + 50);
                      held(Qt::Key_Return);
                      runPressedByHeld = m_form->runner().RunPressed;
                      fresh(Qt::Key_Return);
                  })
            .then("second pass", [&] { return armed() && passCount() == QLatin1String("Success : 2"); },
                  [&] { ui().StopRun->click(); });
        script.start();
        m_form->controls().EraseDevice->trigger();
        script.stop();
        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(focusAfterPass, QStringLiteral("StartRun"));
        QVERIFY(!runPressedByHeld);
        QCOMPARE(m_emu->commandWords().size() - before, 2);
    }

    // Down three times on the closed Device list chooses nothing until
    // Enter; the choice then runs once. Tab and leaving choose too; Alt+Down,
    // the arrows and Enter still work.
    void listsByKeyboard()
    {
        detect();
        QComboBox *devices = ui().SelectDevice;
        QLineEdit *end = ui().Device_End;
        devices->setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(devices, Qt::Key_Down);
        QCOMPARE(devices->currentIndex(), 2);
        QCOMPARE(devices->currentText(), QStringLiteral("AT89C2051"));
        QCOMPARE(focusName(), QStringLiteral("SelectDevice"));
        QVERIFY(end->text().isEmpty());
        QTest::keyClick(devices, Qt::Key_Return);
        QCOMPARE(end->text(), QStringLiteral("07FFH"));
        QCOMPARE(focusName(), QStringLiteral("CheckTarvo"));
        // No choice is waiting: Enter again chooses nothing.
        devices->setFocus();
        end->clear();
        QTest::keyClick(devices, Qt::Key_Return);
        QVERIFY(end->text().isEmpty());

        QTest::keyClick(devices, Qt::Key_Up);
        QTest::keyClick(devices, Qt::Key_Tab);
        QCOMPARE(devices->currentIndex(), 1);
        QCOMPARE(end->text(), QStringLiteral("03FFH"));
        QCOMPARE(focusName(), QStringLiteral("CheckTarvo"));

        devices->setFocus();
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(devices, Qt::Key_Down);
        end->clear();
        ui().Tarvo_Code->setFocus(Qt::MouseFocusReason);
        QCOMPARE(devices->currentText(), QStringLiteral("AT89C51"));
        QCOMPARE(end->text(), QStringLiteral("0FFFH"));

        devices->setFocus();
        end->clear();
        QTest::keyClick(devices, Qt::Key_Down, Qt::AltModifier);
        QAbstractItemView *view = devices->view();
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Return);
        QTRY_COMPARE(devices->currentText(), QStringLiteral("AT89C52"));
        QCOMPARE(end->text(), QStringLiteral("1FFFH"));

        // Locked by a command, or left for no choice, the list shows the
        // entry chosen before, and nothing runs.
        devices->setFocus();
        QTest::keyClick(devices, Qt::Key_Down);
        QCOMPARE(devices->currentText(), QStringLiteral("AT89C55"));
        m_form->setWindowLocked(true);
        QCOMPARE(devices->currentText(), QStringLiteral("AT89C52"));
        m_form->setWindowLocked(false);
        devices->setFocus();
        QTest::keyClick(devices, Qt::Key_Up);
        ui().Tarvo_Code->setFocus(Qt::OtherFocusReason);
        QCOMPARE(devices->currentText(), QStringLiteral("AT89C52"));
        QCOMPARE(end->text(), QStringLiteral("1FFFH"));
        QCOMPARE(m_form->selection().SelectedDevice.DeviceName, QStringLiteral("AT89C52"));
    }

    // The detection's result is heard from the status bar, and a 4 KB Read
    // tells line 1 and the gauge at most about ten times a second, the last
    // state always.
    void resultsAreHeardWithoutFlooding()
    {
        AccessibleEvents events;
        QVERIFY2(AccessibleEvents::active(), "no accessibility on this platform");
        QStatusBar *bar = m_form->statusBar();
        detect();
        QCOMPARE(bar->currentMessage(), QStringLiteral("Search Hardware On Com1 OK"));
        QCOMPARE(QAccessible::queryAccessibleInterface(bar)->text(QAccessible::Name), bar->currentMessage());
        QVERIFY(events.names(bar).contains(bar->currentMessage()));

        chooseDevice("AT89C4051");
        m_emu->setPaced(true);
        QLabel *line1 = ui().DisplayRun[0];
        QWidget *gauge = ui().PercentRun;
        QElapsedTimer transfer;
        qint64 seconds = 0;
        OperatorScript script;
        script.then("armed", [&] { return armed(); },
                    [&] {
                        events.clear();
                        transfer.start();
                        ui().StartRun->click();
                    })
            .then("pass", [&] { return armed() && line(1) == QLatin1String("Read..........Pass"); },
                  [&] {
                      seconds = transfer.elapsed() / 1000 + 1;
                      QTest::qWait(2 * 100 + 50); // the last change is told at the end of its interval
                      ui().StopRun->click();
                  });
        script.start();
        m_form->controls().ReadDevice->trigger();
        script.stop();
        QVERIFY2(script.finished(), qPrintable(script.pending()));
        const int lineEvents = events.count(line1, QAccessible::NameChanged);
        const int gaugeEvents = events.count(gauge, QAccessible::ValueChanged);
        qInfo("%lld s: %d name events on line 1, %d value events on the gauge", seconds, lineEvents, gaugeEvents);
        QVERIFY2(seconds >= 2, "the transfer was not paced");
        QVERIFY(lineEvents >= 2 && lineEvents <= 12 * seconds + 4);
        QVERIFY(gaugeEvents >= 2 && gaugeEvents <= 12 * seconds + 4);
        QVERIFY(events.names(line1).contains(QStringLiteral("Read..........Pass")));
    }

    // The fuse editor's Result changes at every step of an exchange (about
    // four times a read): told at most every 100 ms, the last one always.
    void fuseResultIsHeardWithoutFlooding()
    {
        AccessibleEvents events;
        QVERIFY2(AccessibleEvents::active(), "no accessibility on this platform");
        m_form->createSecondaryWindows(programDialogs(*m_form));
        detect();
        chooseDevice("AT89S53");
        constexpr int Reads = 6;
        QLabel *result = nullptr;
        QElapsedTimer clock;
        qint64 seconds = 0;
        int reads = 0;
        OperatorScript script;
        const auto editorIdle = [] {
            auto *editor = qobject_cast<TFuseForm *>(QApplication::activeModalWidget());
            return editor && !editor->exchanging();
        };
        script.then("editor opened", editorIdle, [&] {
            result = QApplication::activeModalWidget()->findChild<QLabel *>(QStringLiteral("FuseResult"));
            events.clear();
            clock.start();
        });
        for (int i = 0; i < Reads; ++i)
            script.then("read done", editorIdle, [&] {
                ++reads;
                qobject_cast<TFuseForm *>(QApplication::activeModalWidget())->ReadFuseClick();
            });
        script.then("last read done", editorIdle, [&] {
            seconds = clock.elapsed() / 1000 + 1;
            QTest::qWait(2 * 100 + 50); // the last change is told at the end of its interval
            QApplication::activeModalWidget()->close();
        });
        script.start();
        m_form->controls().Fuse->trigger();
        script.stop();
        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(reads, Reads);
        QVERIFY(result);
        const int told = events.count(result, QAccessible::NameChanged);
        qInfo("%d reads in %lld s: %d name events on the Result: %s", Reads, seconds, told, qPrintable(events.names(result).join(" / ")));
        QVERIFY(told >= 1 && told <= 12 * seconds + 2);
        QCOMPARE(events.names(result).last(), QStringLiteral("Read Fuse Complete"));
        QCOMPARE(QAccessible::queryAccessibleInterface(result)->text(QAccessible::Name), result->text());
    }

private:
    std::unique_ptr<ProgrammerEmulator> m_emu;
    std::unique_ptr<KeyRepeatGuard> m_guard;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<TTarvoForm> m_form;
    std::unique_ptr<QTimer> m_watchdog;
};

QTEST_MAIN(TestOperatorKeys)
#include "tst_OperatorKeys.moc"
