#include "EmulatorReceived.h"
#include "WindowDriver.h"
#include "ProgrammerEmulator.h"
#include "ProgrammerLink.h"
#include "ScriptedPrompter.h"
#include "TTarvoForm.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

using Icon = Prompter::Icon;

// Choosing a port and detecting the programmer, through the real window
// against the emulated programmer on a pseudo-terminal.
class TestPortDetection : public QObject
{
    Q_OBJECT

    template <typename T>
    T *find(const char *name)
    {
        return WindowDriver::control<T>(m_form.get(), name);
    }
    QComboBox *portList() { return find<QComboBox>("SelectComPort"); }
    QString biosCode() { return find<QLineEdit>("Tarvo_Code")->text(); }
    QString statusText() { return m_form->statusBar()->currentMessage(); }

    void choose(QComboBox *list, int index) { WindowDriver::chooseEntry(list, index); }

    // Runs action once, inside whatever wait is running, when condition holds.
    void when(std::function<bool()> condition, std::function<void()> action)
    {
        auto *poll = new QTimer(m_context.get());
        poll->setInterval(5);
        connect(poll, &QTimer::timeout, poll, [poll, condition, action] {
            if (!condition())
                return;
            poll->stop();
            action();
        });
        poll->start();
    }

    bool canOpen(const QString &path)
    {
        QSerialPort probe(path);
        const bool ok = probe.open(QIODevice::ReadWrite);
        probe.close();
        return ok;
    }

    // The emulator has taken everything up to the closing CAN.
    bool endsWithCan(ProgrammerEmulator &emu)
    {
        m_form->link().port().flush();
        return EmulatorReceived::endsWith(emu, Ctl::CAN);
    }

private slots:
    void init()
    {
        m_emu = std::make_unique<ProgrammerEmulator>();
        QString error;
        QVERIFY2(m_emu->start(&error), qPrintable(error));
        qputenv("TARVO_COM1", m_emu->slavePath().toLocal8Bit());
        qputenv("TARVO_COM3", "/nonexistent/ttyTarvo3");
        m_context = std::make_unique<QObject>();
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_form = std::make_unique<TTarvoForm>(*m_prompter);
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }
    void cleanup()
    {
        m_context.reset();
        m_form.reset();
        m_prompter.reset();
        m_emu.reset();
        qunsetenv("TARVO_COM1");
        qunsetenv("TARVO_COM2");
        qunsetenv("TARVO_COM3");
    }

    void detectOnChoosingAPort_data()
    {
        QTest::addColumn<QByteArray>("date");
        QTest::addColumn<bool>("lowerCase");
        QTest::addColumn<QString>("shown");
        QTest::newRow("default firmware") << QByteArray(ProgrammerEmulator::DefaultFirmwareDate) << false << "15/08/2003";
        QTest::newRow("04/06/2001, lower-case checksum") << QByteArray("04062001") << true << "04/06/2001";
    }
    void detectOnChoosingAPort()
    {
        QFETCH(QByteArray, date);
        QFETCH(bool, lowerCase);
        QFETCH(QString, shown);
        QVERIFY(m_emu->setFirmwareDate(date));
        m_emu->setLowerCaseHex(lowerCase);

        choose(portList(), 0);

        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(biosCode(), shown);
        QVERIFY(m_form->link().HardwareFound());
        QCOMPARE(statusText(), QStringLiteral("Search Hardware On Com1 OK"));
        QCOMPARE(QApplication::focusWidget(), find<QWidget>("CheckTarvo"));
        QCOMPARE(m_emu->commandWords(), QStringList({"0D000000"}));
        QVERIFY(endsWithCan(*m_emu));
        QVERIFY(m_form->link().port().isOpen());
        QVERIFY(!m_form->busy());
    }

    void connectRepeatsTheDetection()
    {
        choose(portList(), 0);
        QCOMPARE(biosCode(), QStringLiteral("15/08/2003"));
        m_emu->setFirmwareDate("01022004");
        find<QWidget>("SelectDevice")->setFocus();

        QString codeDuringDetection = QStringLiteral("unset");
        when([this] { return m_form->link().detecting(); }, [&] { codeDuringDetection = biosCode(); });
        find<QPushButton>("CheckTarvo")->click();

        QCOMPARE(codeDuringDetection, QString());
        QCOMPARE(biosCode(), QStringLiteral("01/02/2004"));
        QCOMPARE(m_emu->commandWords(), QStringList({"0D000000", "0D000000"}));
        // Connect leaves the focus where it was.
        QCOMPARE(QApplication::focusWidget(), find<QWidget>("SelectDevice"));
        QVERIFY(m_prompter->shown.isEmpty());
    }

    // The chosen entry chosen again: the open port stays open and only the
    // detection is repeated.
    void sameEntryAgain()
    {
        choose(portList(), 0);
        choose(portList(), 0);
        QCOMPARE(m_emu->commandWords(), QStringList({"0D000000", "0D000000"}));
        QVERIFY(m_form->link().HardwareFound());
        QVERIFY(m_prompter->shown.isEmpty());
    }

    void detectionFailures_data()
    {
        using E = EmulatorFault;
        QTest::addColumn<int>("event");
        QTest::addColumn<int>("action");
        QTest::newRow("silent programmer") << int(E::Event::DetectionReply) << int(E::Action::Silence);
        QTest::newRow("wrong checksum") << int(E::Event::DetectionReply) << int(E::Action::WrongChecksum);
        QTest::newRow("no ACK after DC3") << int(E::Event::DetectionAck) << int(E::Action::Garbage);
    }
    // A failed detection after a good one: found no longer, the date gone,
    // the status bar back at the waiting text, and a CAN to the programmer.
    void detectionFailures()
    {
        QFETCH(int, event);
        QFETCH(int, action);
        choose(portList(), 0);
        QVERIFY(m_form->link().HardwareFound());

        m_emu->addFault(EmulatorFault::at(EmulatorFault::Event(event), EmulatorFault::Action(action))
                            .withByte(uint8_t(Ctl::NAK)));
        find<QPushButton>("CheckTarvo")->click();

        QCOMPARE(m_prompter->texts(), QStringList({"Hardware Not Found"}));
        QCOMPARE(m_prompter->shown[0].icon, Icon::Error);
        QVERIFY(!m_form->link().HardwareFound());
        QCOMPARE(biosCode(), QString());
        QCOMPARE(statusText(), QStringLiteral("Waiting to Initial Hardware"));
        QVERIFY(endsWithCan(*m_emu));
    }

    // A missing port: the default error box, no detection, the focus stays,
    // an earlier detection's result is left alone; Connect finds no port.
    void missingPort()
    {
        choose(portList(), 0);
        QVERIFY(m_form->link().HardwareFound());
        portList()->setFocus();
        m_prompter->clear();

        choose(portList(), 2);

        QCOMPARE(m_prompter->texts(), QStringList({"ie_BadId - Specified comport doesn't exist."}));
        QCOMPARE(m_prompter->shown[0].icon, Icon::Error);
        QCOMPARE(m_prompter->shown[0].buttons, Prompter::Buttons::Ok);
        QCOMPARE(biosCode(), QString());
        QVERIFY(!m_form->link().port().isOpen());
        QVERIFY(m_form->link().HardwareFound());
        QCOMPARE(QApplication::focusWidget(), portList());
        QCOMPARE(m_emu->frameCount(), 1);

        m_prompter->clear();
        find<QPushButton>("CheckTarvo")->click();
        QCOMPARE(m_prompter->texts(), QStringList({"Comport Not Found"}));
    }

    void switchingPorts()
    {
        ProgrammerEmulator second;
        QVERIFY(second.start());
        second.setFirmwareDate("24122005");
        qputenv("TARVO_COM2", second.slavePath().toLocal8Bit());

        choose(portList(), 0);
        QVERIFY(!canOpen(m_emu->slavePath()));
        choose(portList(), 1);

        QCOMPARE(m_form->link().port().comNumber(), uint16_t(2));
        QCOMPARE(statusText(), QStringLiteral("Search Hardware On Com2 OK"));
        QCOMPARE(biosCode(), QStringLiteral("24/12/2005"));
        QCOMPARE(second.commandWords(), QStringList({"0D000000"}));
        QCOMPARE(m_emu->frameCount(), 1);
        QVERIFY(canOpen(m_emu->slavePath()));
        m_form.reset();
    }

    // File > Exit while the detection waits is a Stop: the question comes,
    // and the window closes once the detection has ended either way.
    void exitDuringDetection_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("stop: Yes") << true;
        QTest::newRow("stop: No") << false;
    }
    void exitDuringDetection()
    {
        QFETCH(bool, stop);
        m_prompter->setHandler([stop](const ScriptedPrompter::Shown &box) {
            if (box.buttons == Prompter::Buttons::YesNo)
                return stop ? Prompter::Answer::Yes : Prompter::Answer::No;
            return Prompter::Answer::Ok;
        });
        m_emu->addFault(EmulatorFault::at(EmulatorFault::Event::DetectionReply, EmulatorFault::Action::Delay)
                            .withDelay(300));
        bool closedEarly = true;
        when([this] { return m_form->link().detecting(); }, [&] {
            QTest::keyClick(m_form.get(), Qt::Key_X, Qt::ControlModifier);
            closedEarly = !m_form->isVisible();
        });

        choose(portList(), 0);

        QVERIFY(!closedEarly);
        QCOMPARE(m_prompter->shown.value(0).text, QStringLiteral("Do you want to Stop Command..?"));
        QCOMPARE(m_prompter->shown.value(0).icon, Icon::Question);
        if (stop) {
            QCOMPARE(m_prompter->texts(), QStringList({"Do you want to Stop Command..?", "Hardware Not Found"}));
            QVERIFY(m_form->link().AbortRequested());
            QVERIFY(!m_form->link().HardwareFound());
        } else {
            QCOMPARE(m_prompter->texts(), QStringList({"Do you want to Stop Command..?"}));
            QCOMPARE(biosCode(), QStringLiteral("15/08/2003"));
        }
        QTRY_VERIFY(!m_form->isVisible());
        QVERIFY(!m_form->link().port().isOpen());
    }

    // The close box while the detection waits ends the wait without the
    // stop question and without a failure box; then the window closes.
    void closeBoxDuringDetection()
    {
        m_emu->addFault(EmulatorFault::at(EmulatorFault::Event::DetectionReply, EmulatorFault::Action::Silence));
        bool refused = false;
        when([this] { return m_form->link().detecting(); }, [&] { refused = !m_form->close(); });

        choose(portList(), 0);

        QVERIFY(refused);
        QVERIFY(m_prompter->shown.isEmpty());
        QVERIFY(!m_form->link().HardwareFound());
        QTRY_VERIFY(!m_form->isVisible());
        QVERIFY(!m_form->link().port().isOpen());
    }

    // While a detection waits, Connect and the port list are refused: no
    // second frame, and the list shows the port being detected.
    void secondDetectionRefused()
    {
        m_emu->addFault(EmulatorFault::at(EmulatorFault::Event::DetectionReply, EmulatorFault::Action::Silence));
        QString listDuring;
        when([this] { return m_form->link().detecting(); }, [&] {
            find<QPushButton>("CheckTarvo")->click();
            choose(portList(), 1);
            listDuring = portList()->currentText();
            portList()->setFocus();
            QTest::keyClick(portList(), Qt::Key_Backspace);
            listDuring += QLatin1Char('|') + portList()->currentText();
        });

        choose(portList(), 0);

        QCOMPARE(listDuring, QStringLiteral("Com1|Com1"));
        QCOMPARE(m_emu->frameCount(), 1);
        QCOMPARE(m_form->link().port().comNumber(), uint16_t(1));
        QCOMPARE(m_prompter->texts(), QStringList({"Hardware Not Found"}));
        QCOMPARE(TTarvoForm::chosenIndex(portList()), 0);
    }

    // A program end with the port open closes the port.
    void closingClosesThePort()
    {
        choose(portList(), 0);
        QVERIFY(m_form->link().port().isOpen());
        QVERIFY(m_form->close());
        QVERIFY(!m_form->link().port().isOpen());
        QVERIFY(canOpen(m_emu->slavePath()));
    }

private:
    std::unique_ptr<ProgrammerEmulator> m_emu;
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<TTarvoForm> m_form;
};

QTEST_MAIN(TestPortDetection)
#include "tst_PortDetection.moc"
