#include "EmulatorReceived.h"
#include "ProgrammerEmulator.h"
#include "ProgrammerLink.h"
#include "ScriptedPrompter.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using Fault = EmulatorFault;
Q_DECLARE_METATYPE(EmulatorFault)

// Hardware detection through the real port code against the emulated unit.
class TestDetection : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_emu = std::make_unique<ProgrammerEmulator>();
        QString error;
        QVERIFY2(m_emu->start(&error), qPrintable(error));
        qputenv("TARVO_COM2", m_emu->slavePath().toLocal8Bit());
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_link = std::make_unique<ProgrammerLink>(*m_prompter);
        QVERIFY(m_link->port().setComNumber(2));
        QVERIFY2(m_link->port().open(), qPrintable(m_link->port().errorString()));
        m_status = std::make_unique<QSignalSpy>(m_link.get(), &ProgrammerLink::statusText);
    }
    void cleanup()
    {
        m_status.reset();
        m_link.reset();
        m_emu.reset();
        qunsetenv("TARVO_COM2");
    }

    void success_data()
    {
        QTest::addColumn<QByteArray>("date");
        QTest::addColumn<bool>("lowerCase");
        QTest::addColumn<QString>("shown");
        QTest::newRow("04062001, checksum 8D") << QByteArray("04062001") << false << "04/06/2001";
        QTest::newRow("04062001, checksum 8d") << QByteArray("04062001") << true << "04/06/2001";
        QTest::newRow("another date") << QByteArray("15082003") << false << "15/08/2003";
    }
    void success()
    {
        QFETCH(QByteArray, date);
        QFETCH(bool, lowerCase);
        QFETCH(QString, shown);
        m_emu->setFirmwareDate(date);
        m_emu->setLowerCaseHex(lowerCase);
        m_link->forgetHardware();
        const std::optional<QString> result = m_link->ReadVersion();
        QVERIFY(result.has_value());
        QCOMPARE(*result, shown);
        QVERIFY(m_link->HardwareFound());
        QVERIFY(m_prompter->shown.isEmpty());
        QCOMPARE(statusTexts(), (QStringList{"Waiting to Initial Hardware", "Search Hardware On Com2 OK"}));
        QCOMPARE(m_emu->commandWords(), QStringList{"0D000000"});
        QVERIFY(endsWithCan());
    }

    void strictDetectionSendsNoDc3ForChatter()
    {
        // Eight characters whose checksum matches, but no date: a chattering device.
        QVERIFY(m_emu->setFirmwareDate("$GPGSA,A"));
        QVERIFY(m_link->ReadVersion().has_value());
        m_link->setStrictDetection(true);
        QVERIFY(!m_link->ReadVersion().has_value());
        QVERIFY(endsWithCan());
        const QList<ReceivedFrame> frames = m_emu->frames();
        QCOMPARE(frames.size(), 2);
        QCOMPARE(m_emu->received().mid(frames.last().streamOffset + 12), QByteArray(1, Ctl::CAN));
    }

    void failure_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("wrong checksum")
            << Fault::at(Fault::Event::DetectionReply, Fault::Action::WrongChecksum);
        QTest::newRow("non-hex checksum")
            << Fault::at(Fault::Event::DetectionReply, Fault::Action::NonHex).withOffset(9);
        QTest::newRow("silent after seven date bytes")
            << Fault::at(Fault::Event::BytesSent, Fault::Action::Silence, 7);
        QTest::newRow("no ACK after DC3")
            << Fault::at(Fault::Event::DetectionAck, Fault::Action::Garbage).withByte(0x15);
        QTest::newRow("silent after DC3")
            << Fault::at(Fault::Event::DetectionAck, Fault::Action::Silence);
    }
    void failure()
    {
        QFETCH(Fault, fault);
        m_emu->addFault(fault);
        m_link->assumeHardwareFound(); // cleared by every detection
        QVERIFY(!m_link->ReadVersion().has_value());
        QVERIFY(!m_link->HardwareFound());
        QCOMPARE(m_prompter->texts(), QStringList{"Hardware Not Found"});
        QCOMPARE(m_prompter->shown[0].icon, Prompter::Icon::Error);
        QCOMPARE(statusTexts(), QStringList{"Waiting to Initial Hardware"});
        QVERIFY(endsWithCan());
    }

    void stopQuestionDuringDetection_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void stopQuestionDuringDetection()
    {
        QFETCH(bool, yes);
        m_emu->addFault(Fault::at(Fault::Event::DetectionReply, Fault::Action::Delay).withDelay(700));
        m_prompter->queue(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        QTimer::singleShot(300, m_link.get(), [this] { m_link->requestStop(); });
        const bool found = m_link->ReadVersion().has_value();
        QCOMPARE(found, !yes);
        QCOMPARE(m_link->AbortRequested(), yes);
        QStringList expected{"Do you want to Stop Command..?"};
        if (yes)
            expected << "Hardware Not Found";
        QCOMPARE(m_prompter->texts(), expected);
        QVERIFY(endsWithCan());
    }

    void secondDetectionIsRefusedWhileOneWaits()
    {
        m_emu->addFault(Fault::at(Fault::Event::DetectionReply, Fault::Action::Delay).withDelay(600));
        bool nestedRan = false;
        std::optional<QString> nested;
        QTimer::singleShot(250, m_link.get(), [&] {
            QVERIFY(m_link->detecting());
            nested = m_link->ReadVersion();
            nestedRan = true;
        });
        QVERIFY(m_link->ReadVersion().has_value());
        QVERIFY(nestedRan);
        QVERIFY(!nested.has_value());
        QCOMPARE(m_emu->commandWords(), QStringList{"0D000000"});
        QVERIFY(m_prompter->shown.isEmpty());
        QVERIFY(!m_link->detecting());
    }

    void lostPortDuringDetection()
    {
        m_emu->addFault(Fault::at(Fault::Event::BytesSent, Fault::Action::HangUp, 3));
        QVERIFY(!m_link->ReadVersion().has_value());
        QVERIFY(!m_link->port().isOpen());
        // The failure box, then the CAN that can no longer be sent.
        QCOMPARE(m_prompter->texts(), (QStringList{"Hardware Not Found", "Comport Not Found"}));
    }

private:
    QStringList statusTexts() const
    {
        QStringList out;
        for (const QList<QVariant> &args : *m_status)
            out << args.at(0).toString();
        return out;
    }
    bool endsWithCan() const
    {
        // The event loop puts the last byte on the line, as in the program.
        return EmulatorReceived::endsWith(*m_emu, Ctl::CAN);
    }

    std::unique_ptr<ProgrammerEmulator> m_emu;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<ProgrammerLink> m_link;
    std::unique_ptr<QSignalSpy> m_status;
};

QTEST_GUILESS_MAIN(TestDetection)
#include "tst_detection.moc"
