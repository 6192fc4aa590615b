#include "ComPort.h"
#include "ProgrammerLink.h"
#include "PtyPair.h"
#include "ScriptedPrompter.h"
#include "TestClasses.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray frame(const char *word, const char *checksum)
{
    return QByteArray(1, Ctl::STX) + word + QByteArray(1, Ctl::ETX) + checksum;
}

} // namespace

// The link against a pseudo-terminal whose far end the test plays by hand.
class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_ctx = std::make_unique<QObject>();
        m_pty = std::make_unique<PtyPair>();
        QVERIFY(m_pty->isValid());
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_link = std::make_unique<ProgrammerLink>(*m_prompter);
        m_link->port().setDevicePath(m_pty->slavePath());
        QVERIFY2(m_link->port().open(), qPrintable(m_link->port().errorString()));
    }
    void cleanup()
    {
        m_ctx.reset(); // drops the timers a test left behind
        m_link.reset();
        m_pty.reset();
    }

    void frameBytes_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("checksum");
        QTest::newRow("version query") << "0D000000" << frame("0D000000", "10") << 0x10;
        QTest::newRow("erase type 01") << "05000001" << frame("05000001", "09") << 0x09;
        QTest::newRow("blank 03FF") << "0A03FF01" << frame("0A03FF01", "10") << 0x10;
        QTest::newRow("checksum overflow") << "0AFFFF08" << frame("0AFFFF08", "13") << 0x13;
    }
    void frameBytes()
    {
        QFETCH(QString, word);
        QFETCH(QByteArray, expected);
        QFETCH(int, checksum);
        // The CAN must leave before the pause; bytes that arrive during the
        // pause are stale and must be discarded.
        std::thread farEnd([&] {
            const QByteArray can = m_pty->read(1, 2000);
            if (can == QByteArray(1, Ctl::CAN))
                m_pty->write("stale");
        });
        QVERIFY(m_link->SendCommand(word));
        farEnd.join();
        m_link->port().flush();
        QCOMPARE(m_pty->read(int(expected.size()), 2000), expected);
        QCOMPARE(int(m_link->CommandChecksum()), checksum);
        uint8_t b;
        QVERIFY2(!m_link->ReadByte(b, 200), "a byte of the pause survived the discard");
    }

    void sendWordIsTwoCharacters()
    {
        QVERIFY(m_link->SendWord(0x3A));
        QVERIFY(m_link->SendWord(0xC0));
        m_link->port().flush();
        QCOMPARE(m_pty->read(4, 2000), QByteArray("3AC0"));
    }

    void readByteTakesBytesInOrder()
    {
        m_pty->write(QByteArray("\x06\x15", 2));
        uint8_t b = 0xAA;
        QVERIFY(m_link->ReadByte(b, 1000));
        QCOMPARE(b, uint8_t(0x06));
        QVERIFY(m_link->ReadByte(b, 1000));
        QCOMPARE(b, uint8_t(0x15));
        QVERIFY(!m_link->ReadByte(b, 100));
        QCOMPARE(b, uint8_t(0));
        QVERIFY(m_link->TimeoutElapsed());
    }

    // A line that sends more than the receive queue holds while nothing
    // reads: the first 4096 bytes wait in order, the rest are dropped, and
    // the port keeps reading what comes after.
    void fullReceiveQueueDropsTheRest()
    {
        QByteArray sent(10000, Qt::Uninitialized);
        for (int i = 0; i < sent.size(); ++i)
            sent[i] = char(i * 7 + i / 256);
        m_pty->write(sent);
        QVERIFY(QTest::qWaitFor([&] { return m_link->port().droppedBytes() == sent.size() - ComPort::BufferSize; }, 5000));
        QByteArray taken;
        uint8_t b = 0;
        while (m_link->ReadByte(b, 100))
            taken.append(char(b));
        QCOMPARE(taken, sent.left(ComPort::BufferSize));
        m_pty->write("late");
        for (char expected : QByteArray("late")) {
            QVERIFY(m_link->ReadByte(b, 2000));
            QCOMPARE(char(b), expected);
        }
    }

    void readByteWaitsForALateByte()
    {
        QTimer::singleShot(300, m_ctx.get(), [&] { m_pty->write("A"); });
        uint8_t b = 0;
        QVERIFY(m_link->ReadByte(b, 1500));
        QCOMPARE(b, uint8_t('A'));
        QVERIFY(!m_link->TimeoutElapsed());
        QVERIFY(!m_link->Timer1().isActive());
    }

    void stopQuestion_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes ends the wait") << true;
        QTest::newRow("No goes on waiting") << false;
    }
    void stopQuestion()
    {
        QFETCH(bool, yes);
        m_prompter->queue(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        QTimer::singleShot(100, m_ctx.get(), [&] { m_link->requestStop(); });
        QTimer::singleShot(400, m_ctx.get(), [&] { m_pty->write("Z"); });
        uint8_t b = 0;
        const bool got = m_link->ReadByte(b, 1500);
        QCOMPARE(m_prompter->shown.size(), 1);
        QCOMPARE(m_prompter->shown[0].text, QStringLiteral("Do you want to Stop Command..?"));
        QCOMPARE(m_prompter->shown[0].icon, Prompter::Icon::Question);
        QCOMPARE(m_prompter->shown[0].buttons, Prompter::Buttons::YesNo);
        QVERIFY(!m_link->StopRequested());
        QCOMPARE(m_link->AbortRequested(), yes);
        QCOMPARE(got, !yes);
        QCOMPARE(b, uint8_t(yes ? 0 : 'Z'));
    }

    void waitAfterConfirmedStopGetsItsFullTime()
    {
        m_prompter->queue(Prompter::Answer::Yes);
        m_link->requestStop();
        uint8_t b;
        QVERIFY(!m_link->ReadByte(b, 1000));
        QVERIFY(m_link->AbortRequested());
        // The next wait asks nothing and still waits for its byte.
        QTimer::singleShot(300, m_ctx.get(), [&] { m_pty->write("B"); });
        QVERIFY(m_link->ReadByte(b, 1500));
        QCOMPARE(b, uint8_t('B'));
        QCOMPARE(m_prompter->shown.size(), 1);
    }

    void cancelledWaitEndsWithoutAsking()
    {
        QTimer::singleShot(100, m_ctx.get(), [&] { m_link->cancelWait(); });
        uint8_t b;
        QVERIFY(!m_link->ReadByte(b, 15000));
        QVERIFY(m_link->AbortRequested());
        QVERIFY(m_prompter->shown.isEmpty());
        // Used up by that wait: the next one gets its byte.
        m_link->clearRequests();
        QTimer::singleShot(100, m_ctx.get(), [&] { m_pty->write("C"); });
        QVERIFY(m_link->ReadByte(b, 1500));
        QCOMPARE(b, uint8_t('C'));
    }

    void stopDuringSendKeepsTheCharacter()
    {
        m_prompter->queue(Prompter::Answer::Yes);
        m_link->requestStop();
        QVERIFY(!m_link->SendByte('X'));
        QVERIFY(m_link->AbortRequested());
        m_link->port().flush();
        QCOMPARE(m_pty->drain(150), QByteArray());
    }

    void closedPortSendsNothing()
    {
        m_link->port().close();
        QVERIFY(!m_link->SendByte('X'));
        QCOMPARE(m_prompter->texts(), QStringList{"Comport Not Found"});
        QCOMPARE(m_prompter->shown[0].icon, Prompter::Icon::Error);
        m_prompter->clear();
        QVERIFY(!m_link->SendCommand(QStringLiteral("05000001")));
        QVERIFY(m_prompter->shown.isEmpty());
    }

    void lostPortEndsTheWaitAtOnce()
    {
        QTimer::singleShot(200, m_ctx.get(), [&] { m_pty->hangUp(); });
        QElapsedTimer clock;
        clock.start();
        uint8_t b;
        QVERIFY(!m_link->ReadByte(b, 15000));
        QVERIFY2(clock.elapsed() < 5000, "the wait did not notice the lost port");
        QVERIFY(!m_link->port().isOpen());
        QVERIFY(m_link->port().checkLost());
        // Nothing keeps the process busy afterwards.
        const clock_t before = clock_t(std::clock());
        QTest::qWait(300);
        QVERIFY(double(std::clock() - before) / CLOCKS_PER_SEC < 0.2);
    }

    void shutdownEndsWaitsButLetsBytesOut()
    {
        QTimer::singleShot(100, m_ctx.get(), [&] { m_link->requestShutdown(); });
        uint8_t b;
        QVERIFY(!m_link->ReadByte(b, 15000));
        QVERIFY(m_link->AbortRequested());
        QVERIFY(m_link->SendByte(Ctl::CAN));
        m_link->port().close();
        QCOMPARE(m_pty->read(1, 1000), QByteArray(1, Ctl::CAN));
        QVERIFY(m_prompter->shown.isEmpty());
    }

private:
    std::unique_ptr<QObject> m_ctx;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<ProgrammerLink> m_link;
};

// Opening ports: the mapping of Com1..Com4 and the operator's texts.
class TestComPortOpen : public QObject
{
    Q_OBJECT
private slots:
    void mapping()
    {
        qputenv("TARVO_COM2", "/dev/ttyUSB0");
        QCOMPARE(ComPort::deviceName(2), QStringLiteral("/dev/ttyUSB0"));
        qunsetenv("TARVO_COM2");
        QCOMPARE(ComPort::deviceName(0), QString());
        QCOMPARE(ComPort::deviceName(5), QString());
    }

    void missingPort()
    {
        qputenv("TARVO_COM3", "/dev/tarvo-no-such-port");
        ComPort port;
        QVERIFY(port.setComNumber(3));
        QVERIFY(!port.open());
        QVERIFY(!port.isOpen());
        QCOMPARE(port.errorString(), QStringLiteral("ie_BadId - Specified comport doesn't exist"));
        qunsetenv("TARVO_COM3");
    }

    void busyPort()
    {
        PtyPair pty;
        QSerialPort other;
        other.setPortName(pty.slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
        ComPort port;
        port.setDevicePath(pty.slavePath());
        QVERIFY(!port.open());
        QCOMPARE(port.errorString(), QStringLiteral("ie_Open - device already open"));
        other.close();
        QVERIFY(port.open());
    }

    void noRights()
    {
        if (::geteuid() == 0)
            QSKIP("root opens any device");
        PtyPair pty;
        QVERIFY(::chmod(pty.slavePath().toLocal8Bit().constData(), 0) == 0);
        ComPort port;
        port.setDevicePath(pty.slavePath());
        QVERIFY(!port.open());
        QCOMPARE(port.errorString(), QStringLiteral("Permission denied"));
    }

    void switchingPortsClosesTheOldOne()
    {
        PtyPair one, two;
        qputenv("TARVO_COM1", one.slavePath().toLocal8Bit());
        qputenv("TARVO_COM2", two.slavePath().toLocal8Bit());
        ComPort port;
        QVERIFY(port.setComNumber(1));
        QVERIFY(port.open());
        QVERIFY(port.setComNumber(1)); // same number: nothing happens
        QVERIFY(port.isOpen());
        QVERIFY(port.setComNumber(2));
        QVERIFY(port.isOpen());
        QCOMPARE(port.comNumber(), uint16_t(2));
        // Port 1 is free again: another program can lock it.
        QSerialPort other;
        other.setPortName(one.slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
        // A failed switch leaves the port closed on the new number.
        qputenv("TARVO_COM4", "/dev/tarvo-no-such-port");
        QVERIFY(!port.setComNumber(4));
        QVERIFY(!port.isOpen());
        QCOMPARE(port.comNumber(), uint16_t(4));
        for (const char *name : {"TARVO_COM1", "TARVO_COM2", "TARVO_COM4"})
            qunsetenv(name);
    }
};

int main(int argc, char **argv)
{
    return runTestClasses<TestLink, TestComPortOpen>(argc, argv);
}

#include "tst_link.moc"
