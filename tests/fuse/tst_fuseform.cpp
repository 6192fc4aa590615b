#include "EmulatorReceived.h"
#include "DeviceCatalogue.h"
#include "FuseExchange.h"
#include "FuseLauncher.h"
#include "ProgrammerEmulator.h"
#include "ProgrammerLink.h"
#include "RadioGroup.h"
#include "ScriptedPrompter.h"
#include "SelectionState.h"
#include "TFuseForm.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(EmulatorFault)
Q_DECLARE_METATYPE(Prompter::Answer)

using Fault = EmulatorFault;
using Answer = Prompter::Answer;

namespace {

const QString Enable = QStringLiteral("Enable(Program)");
const QString Disable = QStringLiteral("Disable(Erase)");
const QString NotPresent = QStringLiteral("Not Present");
const QString StopQuestion = QStringLiteral("Do you want to Stop Command..?");
// A reply limit that only a stop ends in time; the guard below fires long
// before it and long after any stop could have taken effect.
constexpr int LongWaitMs = 20000;
constexpr int HangGuardMs = 8000;

Fault reply(Fault::Event event, Fault::Action action)
{
    return Fault::at(event, action);
}

} // namespace

// The editor on the offscreen platform against the programmer emulator on a
// pseudo-terminal.
class TestFuseForm : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_ctx = std::make_unique<QObject>();
        m_emu = std::make_unique<ProgrammerEmulator>();
        QString error;
        QVERIFY2(m_emu->start(&error), qPrintable(error));
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_link = std::make_unique<ProgrammerLink>(*m_prompter);
        m_link->port().setDevicePath(m_emu->slavePath());
        QVERIFY2(m_link->port().open(), qPrintable(m_link->port().errorString()));
        m_link->assumeHardwareFound();
        m_selection = std::make_unique<SelectionState>();
        m_form = std::make_unique<TFuseForm>(*m_link, *m_selection);
    }
    void cleanup()
    {
        m_ctx.reset();
        m_form.reset();
        m_link.reset();
        m_emu.reset();
    }

    void activationAT89S53()
    {
        m_emu->setFuseByte(0x04, 0x01);
        m_emu->setLockBits(0x04, 0x00); // nothing programmed: lock byte 07
        QVERIFY(open("AT89S53"));

        QCOMPARE(m_emu->commandWords(), (QStringList{"09000004", "08000004"}));
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Display & Program Fuse...AT89S53"));
        QCOMPARE(display("DisplayFuse2"), Disable);
        QCOMPARE(radio("Fuse2")->itemIndex(), 1);
        QCOMPARE(display("DisplayLock1"), Disable);
        QCOMPARE(display("DisplayLock2"), Disable);
        QCOMPARE(display("DisplayLock3"), Disable);
        QCOMPARE(display("DisplayFuse1"), NotPresent);
        QVERIFY(!radio("Fuse1")->isEnabled());
        QCOMPARE(radio("Fuse1")->title(), QStringLiteral("FSTRT"));
        QCOMPARE(label("FuseBit1"), QStringLiteral("Fuse FSTRT"));
        QCOMPARE(radio("Fuse2")->title(), QStringLiteral("SPIEN"));
        QCOMPARE(label("FuseBit2"), QStringLiteral("Fuse SPIEN"));
        QCOMPARE(result(), QStringLiteral("Read Fuse Complete"));
        expectIdle();
        QVERIFY(m_prompter->shown.isEmpty());
        // Opening sends no end byte after its reads: the next frame follows.
        button("ReadFuse")->click();
        QCOMPARE(sentAfterFrame(1), QByteArray());
    }

    void activationAT90S2313LowerCase()
    {
        m_emu->setLowerCaseHex(true);
        m_emu->setFuseByte(0x06, 0xDF); // sent as "df"
        QVERIFY(open("AT90S2313"));

        QCOMPARE(m_emu->commandWords(), QStringList{"09000006"});
        QCOMPARE(display("DisplayFuse1"), Disable);
        QCOMPARE(radio("Fuse1")->itemIndex(), 1);
        QCOMPARE(display("DisplayFuse2"), Enable);
        QCOMPARE(radio("Fuse2")->itemIndex(), 0);
        QCOMPARE(display("DisplayLock1"), Disable);
        QCOMPARE(display("DisplayLock2"), Disable);
        QCOMPARE(display("DisplayLock3"), NotPresent);
        QVERIFY(radio("Fuse1")->isEnabled());
        QCOMPARE(result(), QStringLiteral("Read Fuse Complete"));
        expectIdle();
    }

    void groupCaptions_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("fuse1");
        QTest::newRow("AT90S1200") << "AT90S1200" << "RCEN";
        QTest::newRow("AT90S2343") << "AT90S2343" << "RCEN";
        QTest::newRow("AT90S8535") << "AT90S8535" << "FSTRT";
        QTest::newRow("AT90S2323") << "AT90S2323" << "FSTRT";
        QTest::newRow("AT89S8252") << "AT89S8252" << "FSTRT";
    }
    void groupCaptions()
    {
        QFETCH(QString, device);
        QFETCH(QString, fuse1);
        QVERIFY(open(device));
        QCOMPARE(radio("Fuse1")->title(), fuse1);
        QCOMPARE(label("FuseBit1"), QStringLiteral("Fuse ") + fuse1);
        QCOMPARE(label("FuseBit2"), QStringLiteral("Fuse SPIEN"));
        QCOMPARE(label("LockBit3"), QStringLiteral("Lock Bit3"));
    }

    void deviceWithoutGroupKeepsCaptionsAndSendsNothing()
    {
        QVERIFY(open("AT89C2051"));
        QCOMPARE(radio("Fuse1")->title(), QStringLiteral("Fuse1"));
        QCOMPARE(label("FuseBit1"), QStringLiteral("Fuse Bit1"));
        QVERIFY(m_emu->commandWords().isEmpty());
        expectIdle();
    }

    void activationFailures_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("fuse2"); // display after the failure
        QTest::addColumn<int>("failed");    // frame that ended with CAN
        QTest::newRow("fuse reply g") << "AT90S1200"
                                      << reply(Fault::Event::FuseReply, Fault::Action::NonHex).withOffset(1)
                                      << "Read Fuse Error" << QStringList{"09000006"} << "" << 0;
        QTest::newRow("fuse silent") << "AT90S2323" << reply(Fault::Event::FuseReply, Fault::Action::Silence)
                                     << "Read Fuse Time-Out" << QStringList{"09000007"} << "" << 0;
        QTest::newRow("lock reply g") << "AT89S8252"
                                      << reply(Fault::Event::LockReply, Fault::Action::NonHex).withOffset(0)
                                      << "Read Lock Error" << QStringList{"09000004", "08000004"} << Enable << 1;
        // The lock byte is read whether or not the fuse byte came.
        QTest::newRow("04 fuse silent") << "AT89S53" << reply(Fault::Event::FuseReply, Fault::Action::Silence)
                                        << "Read Fuse Complete" << QStringList{"09000004", "08000004"} << ""
                                        << 0;
    }
    void activationFailures()
    {
        QFETCH(QString, device);
        QFETCH(Fault, fault);
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QFETCH(QString, fuse2);
        QFETCH(int, failed);
        m_emu->addFault(fault);
        QVERIFY(open(device));
        QCOMPARE(m_emu->pendingFaults(), 0);
        QCOMPARE(m_emu->commandWords(), words);
        QCOMPARE(result(), text);
        QCOMPARE(display("DisplayFuse2"), fuse2);
        // A failed read leaves its choice unset.
        if (fuse2.isEmpty())
            QCOMPARE(radio("Fuse2")->itemIndex(), -1);
        QCOMPARE(sentAfterFrame(failed, 1), QByteArray(1, Ctl::CAN));
        expectIdle();
    }

    void writeAT90S2343WithReadBack()
    {
        QVERIFY(open("AT90S2343"));
        radio("Fuse1")->item(0)->click(); // RCEN Enable(Program)
        radio("Fuse2")->item(1)->click(); // SPIEN Disable(Erase)
        button("StartFuse")->click();

        QCOMPARE(m_emu->commandWords(), (QStringList{"09000007", "04002007", "09000007"}));
        QCOMPARE(int(m_emu->fuseByte(0x07)), 0x20);
        // The read-back reports E0: lock bits 1 and 2 unprogrammed on top.
        QCOMPARE(result(), QStringLiteral("Program Fuse Complete"));
        QCOMPARE(display("DisplayFuse1"), Enable);
        QCOMPARE(display("DisplayFuse2"), Disable);
        QCOMPARE(display("DisplayLock1"), Disable);
        QCOMPARE(sentAfterFrame(2, 1), QByteArray(1, Ctl::ENQ));
        expectIdle();
        QVERIFY(m_prompter->shown.isEmpty());
    }

    // Return and keypad Enter press the focused button and nothing else.
    void enterPressesTheFocusedButton()
    {
        QVERIFY(open("AT90S2343"));
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        const auto press = [&](QWidget *w, Qt::Key key) {
            w->setFocus();
            QTest::keyClick(QApplication::focusWidget(), key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        };
        const QStringList opened = m_emu->commandWords();
        press(radio("Fuse1")->item(0), Qt::Key_Return);
        press(child<QLineEdit>("DisplayFuse1"), Qt::Key_Enter);
        QCOMPARE(m_emu->commandWords(), opened);
        QVERIFY(m_form->isVisible());

        radio("Fuse1")->item(0)->click();
        radio("Fuse2")->item(1)->click();
        QSignalSpy finished(m_form.get(), &TFuseForm::exchangeFinished);
        press(button("StartFuse"), Qt::Key_Enter);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_emu->commandWords(), opened + QStringList({"04002007", "09000007"}));
        press(button("ReadFuse"), Qt::Key_Return);
        QCOMPARE(finished.count(), 2);
        press(button("CancleFuse"), Qt::Key_Return);
        QVERIFY(!m_form->isVisible());
    }

    // Names for assistive technology: unique, and the fuse's own.
    void accessibleNames()
    {
        QVERIFY(open("AT90S2343"));
        const auto nameOf = [](QWidget *w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
        QCOMPARE(nameOf(radio("Fuse1")), QStringLiteral("RCEN"));
        QCOMPARE(nameOf(radio("Fuse2")->item(1)), QStringLiteral("SPIEN Disable(Erase)"));
        QCOMPARE(nameOf(child<QLineEdit>("DisplayFuse1")), QStringLiteral("Fuse RCEN"));
        QCOMPARE(nameOf(child<QLineEdit>("DisplayLock3")), QStringLiteral("Lock Bit3"));
        QStringList names;
        for (QWidget *w : m_form->findChildren<QWidget *>()) {
            if (!qobject_cast<QAbstractButton *>(w) && !qobject_cast<QLineEdit *>(w) && !qobject_cast<RadioGroup *>(w)
                && w->objectName() != QLatin1String("FuseResult"))
                continue;
            const QString name = nameOf(w);
            QVERIFY2(!name.isEmpty() && !names.contains(name), qPrintable(w->objectName() + ": " + name));
            names << name;
        }
        QCOMPARE(names.size(), 2 + 4 + 5 + 3 + 1);
        // The result is heard as the display's name, as a label's text is.
        QCOMPARE(nameOf(child<QLabel>("FuseResult")), QStringLiteral("Read Fuse Complete"));
    }

    void writeAT89S8252WrongReadBack()
    {
        QVERIFY(open("AT89S8252"));
        // Fuse1 has no item on this device; Write must not need one.
        QCOMPARE(radio("Fuse1")->itemIndex(), -1);
        radio("Fuse2")->item(1)->click();
        m_emu->addFault(reply(Fault::Event::FuseReply, Fault::Action::Value).withByte(0x00));
        button("StartFuse")->click();

        QCOMPARE(m_emu->commandWords(),
                 (QStringList{"09000004", "08000004", "04000104", "08000004", "09000004"}));
        QCOMPARE(result(), QStringLiteral("Verify Fuse Error"));
        QCOMPARE(m_prompter->shown.size(), 1);
        QCOMPARE(m_prompter->shown[0].text, QStringLiteral("Write Fuse Error"));
        QCOMPARE(m_prompter->shown[0].icon, Prompter::Icon::Error);
        QCOMPARE(m_prompter->shown[0].buttons, Prompter::Buttons::Ok);
        QCOMPARE(display("DisplayFuse2"), Enable);
        QCOMPARE(sentAfterFrame(4, 1), QByteArray(1, Ctl::CAN));
        expectIdle();
    }

    void writeFailures_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("verifyBox");
        QTest::newRow("no reply") << reply(Fault::Event::CommandReply, Fault::Action::Silence)
                                  << "Program Fuse Time-Out" << false;
        QTest::newRow("NAK") << reply(Fault::Event::CommandReply, Fault::Action::Garbage).withByte(0x15)
                             << "Program Fuse Error" << false;
        QTest::newRow("no read-back") << reply(Fault::Event::FuseReply, Fault::Action::Silence)
                                      << "Verify Fuse Error" << true;
    }
    void writeFailures()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, text);
        QFETCH(bool, verifyBox);
        QVERIFY(open("AT90S1200"));
        m_emu->addFault(fault);
        button("StartFuse")->click();
        QCOMPARE(result(), text);
        QCOMPARE(m_prompter->texts(), verifyBox ? QStringList{"Write Fuse Error"} : QStringList{});
        const int last = int(m_emu->commandWords().size()) - 1;
        QCOMPARE(m_emu->commandWords().at(1), QStringLiteral("04000106"));
        QCOMPARE(last, verifyBox ? 2 : 1);
        // The failed read-back and the verify failure each end with a CAN;
        // the discard of the second may drop the first from the line.
        const QByteArray after = sentAfterFrame(last, 1);
        if (verifyBox && after.size() == 2)
            QCOMPARE(after, QByteArray(2, Ctl::CAN));
        else
            QCOMPARE(after, QByteArray(1, Ctl::CAN));
        expectIdle();
    }

    void writeWithoutChoiceIsRefused_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("readWords");
        QTest::newRow("06, nothing read") << "AT90S1200" << QStringList{"09000006"};
        QTest::newRow("04, nothing read") << "AT89S8252" << QStringList{"08000004", "09000004"};
    }
    void writeWithoutChoiceIsRefused()
    {
        QFETCH(QString, device);
        QFETCH(QStringList, readWords);
        m_emu->addFault(reply(Fault::Event::FuseReply, Fault::Action::Silence));
        QVERIFY(open(device));
        const QStringList opened = m_emu->commandWords();
        const QString before = result();

        button("StartFuse")->click();
        QCOMPARE(m_prompter->texts(), QStringList{FuseExchange::NoChoiceText});
        QCOMPARE(m_prompter->shown[0].icon, Prompter::Icon::Warning);
        QCOMPARE(result(), before);
        expectIdle();

        // A Read afterwards is the next frame: no write went out between.
        button("ReadFuse")->click();
        QCOMPARE(m_emu->commandWords(), opened + readWords);
    }

    void readClick_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enq");
        QTest::newRow("lock silent, fuse read") << reply(Fault::Event::LockReply, Fault::Action::Silence)
                                                << "Read Fuse Complete" << true;
        QTest::newRow("fuse silent") << reply(Fault::Event::FuseReply, Fault::Action::Silence)
                                     << "Can Not Read Fuse" << false;
    }
    void readClick()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, text);
        QFETCH(bool, enq);
        QVERIFY(open("AT89S8252"));
        m_emu->setFuseByte(0x04, 0x01);
        m_emu->addFault(fault);
        button("ReadFuse")->click();

        QCOMPARE(m_emu->commandWords().mid(2), (QStringList{"08000004", "09000004"}));
        QCOMPARE(result(), text);
        QCOMPARE(display("DisplayFuse2"), enq ? Disable : Enable);
        QCOMPARE(sentAfterFrame(3, 1), QByteArray(1, enq ? Ctl::ENQ : Ctl::CAN));
        expectIdle();
    }

    void cancleDuringRead_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("Yes") << Answer::Yes;
        QTest::newRow("No") << Answer::No;
    }
    void cancleDuringRead()
    {
        QFETCH(Answer, answer);
        const bool stop = answer == Answer::Yes;
        // Only the stop can end this wait; declined, the late reply is taken.
        m_form->setReplyTimeoutMs(LongWaitMs);
        m_emu->addFault(stop ? reply(Fault::Event::FuseReply, Fault::Action::Silence)
                             : reply(Fault::Event::FuseReply, Fault::Action::Delay).withDelay(600));
        m_prompter->queue(answer);
        QString caption;
        whenWaiting([&] {
            caption = button("CancleFuse")->text();
            button("CancleFuse")->click();
        });
        const bool &hung = hangGuard();
        QVERIFY(open("AT90S2313"));

        QVERIFY2(!hung, "the stop did not end the wait");
        QCOMPARE(caption, QStringLiteral("Cancle"));
        QCOMPARE(m_prompter->texts(), QStringList{StopQuestion});
        QCOMPARE(m_prompter->shown[0].buttons, Prompter::Buttons::YesNo);
        QCOMPARE(result(), stop ? QStringLiteral("Read Fuse Time-Out") : QStringLiteral("Read Fuse Complete"));
        QCOMPARE(display("DisplayFuse1"), stop ? QString() : Disable);
        QCOMPARE(m_link->AbortRequested(), stop);
        if (stop)
            QCOMPARE(sentAfterFrame(0, 1), QByteArray(1, Ctl::CAN));
        expectIdle();
        QVERIFY(m_form->isVisible());

        // Exit now closes, and closing clears the flags of the stop.
        button("CancleFuse")->click();
        QVERIFY(!m_form->isVisible());
        QVERIFY(!m_link->AbortRequested());
        QVERIFY(!m_link->StopRequested());
    }

    void closeDuringRead_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("close box") << false;
        QTest::newRow("Escape") << true;
    }
    void closeDuringRead()
    {
        QFETCH(bool, escape);
        // Only closing can end this wait.
        m_form->setReplyTimeoutMs(LongWaitMs);
        m_emu->addFault(reply(Fault::Event::FuseReply, Fault::Action::Silence));
        bool visibleDuringWait = false;
        whenWaiting([&] {
            if (escape)
                QTest::keyClick(m_form.get(), Qt::Key_Escape);
            else
                m_form->close();
            visibleDuringWait = m_form->isVisible();
        });
        const bool &hung = hangGuard();
        QVERIFY(open("AT89S53"));

        QVERIFY2(!hung, "closing did not end the wait");
        QVERIFY(visibleDuringWait);
        QVERIFY(!m_form->isVisible());
        QVERIFY(!m_form->exchanging());
        // The read ended as a stop would, without asking; the lock read never
        // started.
        QCOMPARE(result(), QStringLiteral("Read Fuse Time-Out"));
        QVERIFY(m_prompter->shown.isEmpty());
        // The wait began as the frame went out: the emulator may take it
        // off the line only now.
        QVERIFY(EmulatorReceived::arrived([this] { return !m_emu->commandWords().isEmpty(); }));
        QCOMPARE(m_emu->commandWords(), QStringList{"09000004"});
        QCOMPARE(sentAfterFrame(0, 1), QByteArray(1, Ctl::CAN));
        QVERIFY(!m_link->Timer1().isActive());
        QVERIFY(!m_link->AbortRequested());
    }

    void entriesDuringAWaitAreRefused()
    {
        QVERIFY(open("AT90S2313"));
        m_emu->addFault(reply(Fault::Event::FuseReply, Fault::Action::Delay).withDelay(300));
        whenWaiting([&] {
            m_form->FormActivate();
            m_form->ReadFuseClick();
            m_form->StartFuseClick();
        });
        button("ReadFuse")->click();
        QCOMPARE(m_emu->commandWords(), (QStringList{"09000006", "09000006"}));
        QCOMPARE(result(), QStringLiteral("Read Fuse Complete"));
        QVERIFY(m_prompter->shown.isEmpty());
        expectIdle();
    }

    void reopenReadsAgainAndKeepsChoices()
    {
        m_emu->setFuseByte(0x06, 0xDF);
        QVERIFY(open("AT90S2313"));
        button("CancleFuse")->click();
        QVERIFY(!m_form->isVisible());

        m_emu->addFault(reply(Fault::Event::FuseReply, Fault::Action::Silence));
        QVERIFY(open("AT90S2313"));
        QCOMPARE(m_emu->commandWords(), (QStringList{"09000006", "09000006"}));
        QCOMPARE(display("DisplayFuse1"), QString());
        QCOMPARE(display("DisplayLock3"), NotPresent);
        QCOMPARE(radio("Fuse1")->itemIndex(), 1);
        QCOMPARE(radio("Fuse2")->itemIndex(), 0);
    }

    void fuseClick_data()
    {
        QTest::addColumn<bool>("found");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("message");
        QTest::newRow("no programmer") << false << true << "Comport Not Connect";
        QTest::newRow("no fuse") << true << false << "Not Fuse on Device";
        QTest::newRow("shown") << true << true << "";
    }
    void fuseClick()
    {
        QFETCH(bool, found);
        QFETCH(bool, enabled);
        QFETCH(QString, message);
        found ? m_link->assumeHardwareFound() : m_link->forgetHardware();
        bool shown = false;
        FuseLauncher::FuseClick(*m_link, enabled, [&] { shown = true; });
        QCOMPARE(shown, message.isEmpty());
        QCOMPARE(m_prompter->texts(), message.isEmpty() ? QStringList{} : QStringList{message});
        if (!message.isEmpty())
            QCOMPARE(m_prompter->shown[0].icon, Prompter::Icon::None);
    }

private:
    // Shows the editor for a catalogue device and waits for its opening reads.
    bool open(const QString &device)
    {
        const int row = DeviceCatalogue::indexOf(device);
        if (row < 0)
            return false;
        m_selection->SelectedDevice = DeviceCatalogue::row(row);
        m_selection->DeviceSelected = true;
        m_emu->setSocketDevice(device);
        QSignalSpy finished(m_form.get(), &TFuseForm::exchangeFinished);
        m_form->show();
        return finished.wait(LongWaitMs + 5000);
    }

    // Runs `action` once, nested in the first reply wait (the reply timer
    // runs only while ReadByte waits).
    void whenWaiting(std::function<void()> action)
    {
        auto *poll = new QTimer(m_ctx.get());
        poll->setInterval(5);
        connect(poll, &QTimer::timeout, m_ctx.get(), [this, poll, action] {
            if (!m_link->Timer1().isActive())
                return;
            poll->stop();
            action();
        });
        poll->start();
    }

    // Set when an exchange is still running HangGuardMs from now.
    const bool &hangGuard()
    {
        m_hung = false;
        QTimer::singleShot(HangGuardMs, m_ctx.get(), [this] { m_hung = m_form->exchanging(); });
        return m_hung;
    }

    // What the program sent after frame n (its checksum) up to the CAN of
    // the next frame; waits for at least `atLeast` bytes of it.
    QByteArray sentAfterFrame(int n, int atLeast = 0)
    {
        m_link->port().flush();
        EmulatorReceived::arrived([&] { return m_emu->frames().size() > n; });
        const auto frames = m_emu->frames();
        if (n >= frames.size())
            return "frame missing";
        const qint64 from = frames[n].streamOffset + 12;
        const qint64 to = n + 1 < frames.size() ? frames[n + 1].streamOffset - 1 : -1;
        if (to < 0)
            EmulatorReceived::arrived([&] { return m_emu->received().size() >= from + atLeast; });
        const QByteArray all = m_emu->received();
        return all.mid(from, to < 0 ? -1 : to - from);
    }

    void expectIdle()
    {
        QVERIFY(!m_form->exchanging());
        QVERIFY(button("ReadFuse")->isEnabled());
        QVERIFY(button("StartFuse")->isEnabled());
        QVERIFY(button("CancleFuse")->isEnabled());
        QCOMPARE(button("CancleFuse")->text(), QStringLiteral("Exit"));
    }

    template<typename W>
    W *child(const char *name) const
    {
        W *w = m_form->findChild<W *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QString display(const char *name) const { return child<QLineEdit>(name)->text(); }
    QString label(const char *name) const { return child<QLabel>(name)->text(); }
    QString result() const { return label("FuseResult"); }
    RadioGroup *radio(const char *name) const { return child<RadioGroup>(name); }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }

    std::unique_ptr<QObject> m_ctx;
    std::unique_ptr<ProgrammerEmulator> m_emu;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<ProgrammerLink> m_link;
    std::unique_ptr<SelectionState> m_selection;
    std::unique_ptr<TFuseForm> m_form;
    bool m_hung = false;
};

QTEST_MAIN(TestFuseForm)
#include "tst_fuseform.moc"
