// The emulator over a real pseudo-terminal, driven as the program would
// drive it, and the tarvo-emu tool.
#include "LineClient.h"
#include "ProgrammerEmulator.h"
#include "PtyPair.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <termios.h>

namespace {

using E = EmulatorFault::Event;
using A = EmulatorFault::Action;
constexpr int Wait = 3000; // generous: a failing read costs this, a passing one nothing

QByteArray image(int size)
{
    QByteArray data(size, 0);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 13 + i / 64) & 0xFF);
    return data;
}

// Program or verify through the line; returns the final reply or NAK report.
QByteArray transfer(LineClient &line, const char *word, const QByteArray &data)
{
    line.write(LineClient::frame(word));
    for (int a = 0; a < data.size(); a += 64) {
        const QByteArray r = line.read(1, Wait);
        if (r != "\x11")
            return r + line.read(4, 300);
        line.write(LineClient::block(data.mid(a, 64)));
    }
    const QByteArray r = line.read(1, Wait);
    if (r != "\x11")
        return r + line.read(4, 300);
    line.write("\x13");
    return line.read(1, Wait);
}

} // namespace

class TestProgrammerEmulator : public QObject
{
    Q_OBJECT
private slots:
    void slaveIsRawFromTheStart();
    void detectionOverTheLine();
    void programReadVerifyRoundTrip();
    void lockThenProgramFails();
    void hangUpIsSeenByThePort();
    void hangUpFaultAtReadBlock();
    void silenceAfterBytesSent();
    void lateReplyComesAfterItsDelay();
    void pacingTakesAtLeastTheLineTime();
    void stopClosesAndStartOpensAFreshLine();
    void servesAGivenDevice();
    void toolServesUntilTerminated();
    void toolRejectsBadOptions_data();
    void toolRejectsBadOptions();
};

void TestProgrammerEmulator::slaveIsRawFromTheStart()
{
    ProgrammerEmulator emu;
    QString error;
    QVERIFY2(emu.start(&error), qPrintable(error));
    LineClient line(emu.slavePath());
    QVERIFY(line.isOpen());
    termios tio{};
    QCOMPARE(tcgetattr(line.fd(), &tio), 0);
    QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
    QCOMPARE(tio.c_iflag & (IXON | ICRNL), tcflag_t(0));

    // Control bytes and CR travel untouched, and nothing is echoed: the
    // first bytes back are the reply itself.
    const QByteArray noise("\r\n\x03\x11\x13\x7F\x04", 7);
    QVERIFY(line.write(noise));
    QVERIFY(line.write(LineClient::frame("0D000000")));
    QCOMPARE(line.read(10, Wait), QByteArray("1508200393"));
    QCOMPARE(emu.received().left(7), noise);
}

void TestProgrammerEmulator::detectionOverTheLine()
{
    ProgrammerEmulator emu;
    QVERIFY(emu.setFirmwareDate("04062001"));
    QVERIFY(emu.start());
    LineClient line(emu.slavePath());
    QVERIFY(line.write(LineClient::frame("0D000000")));
    QCOMPARE(line.read(10, Wait), QByteArray("040620018D"));
    QVERIFY(line.write("\x13"));
    QCOMPARE(line.read(1, Wait), QByteArray("\x06"));
    QVERIFY(line.write("\x18"));
    QVERIFY(emu.waitFor([&] { return emu.received().endsWith('\x18'); }, Wait));
    QCOMPARE(emu.commandWords(), QStringList{"0D000000"});
    QCOMPARE(emu.sent(), QByteArray("040620018D\x06"));
    QVERIFY(emu.frames().first().timeNs > 0);
    QVERIFY(!emu.waitFor([] { return false; }, 20));
}

void TestProgrammerEmulator::programReadVerifyRoundTrip()
{
    ProgrammerEmulator emu;
    QVERIFY(emu.setSocketDevice("AT89C2051"));
    QVERIFY(!emu.setSocketDevice("AT89X"));
    QCOMPARE(emu.flashSize(0x01), 0x800);
    QVERIFY(emu.start());
    LineClient line(emu.slavePath());
    const QByteArray data = image(0x800);

    QCOMPARE(transfer(line, "01000001", data), QByteArray("\x06"));
    QCOMPARE(emu.blocksReceived(), 32);
    QCOMPARE(emu.flash(0x01), data);

    line.write(LineClient::frame("06000001"));
    QByteArray read;
    for (int b = 0; b < 32; ++b) {
        const QByteArray chars = line.read(130, Wait);
        QCOMPARE(chars.size(), 130);
        QCOMPARE(chars, LineClient::block(data.mid(b * 64, 64)));
        read += QByteArray::fromHex(chars.left(128));
        line.write(b < 31 ? "\x11" : "\x13");
    }
    QCOMPARE(line.read(1, Wait), QByteArray("\x06"));
    QCOMPARE(read, data);
    QCOMPARE(emu.blocksSent(), 32);

    QCOMPARE(transfer(line, "0C000001", data), QByteArray("\x06"));
    QByteArray changed = data;
    changed[0x7C1] = char(~changed[0x7C1]);
    QCOMPARE(transfer(line, "0C000001", changed), QByteArray("\x15" "07C1"));
    QCOMPARE(emu.commandWords(),
             (QStringList{"01000001", "06000001", "0C000001", "0C000001"}));
}

void TestProgrammerEmulator::lockThenProgramFails()
{
    ProgrammerEmulator emu;
    QVERIFY(emu.start());
    LineClient line(emu.slavePath());
    line.write(LineClient::frame("03000203"));
    QCOMPARE(line.read(1, Wait), QByteArray("\x06"));
    QCOMPARE(emu.lockBits(0x03), uint8_t(0x03));
    QCOMPARE(transfer(line, "01000003", image(0x1000)), QByteArray("\x15" "0000"));
    line.write("\x18" + LineClient::frame("05000003"));
    QCOMPARE(line.read(1, Wait), QByteArray("\x06"));
    QCOMPARE(transfer(line, "01000003", image(0x1000)), QByteArray("\x06"));
}

void TestProgrammerEmulator::hangUpIsSeenByThePort()
{
    ProgrammerEmulator emu;
    QVERIFY(emu.start());
    LineClient line(emu.slavePath());
    QVERIFY(!emu.hungUp());
    emu.hangUp();
    QVERIFY(emu.hungUp());
    QVERIFY(line.waitHangUp(Wait));
    QVERIFY(emu.isRunning());
    emu.hangUp(); // a second one is harmless
}

void TestProgrammerEmulator::hangUpFaultAtReadBlock()
{
    ProgrammerEmulator emu;
    emu.addFault(EmulatorFault::at(E::ReadBlock, A::HangUp, 2));
    QVERIFY(emu.start());
    LineClient line(emu.slavePath());
    line.write(LineClient::frame("06000001"));
    QCOMPARE(line.read(130, Wait).size(), 130);
    line.write("\x11");
    QCOMPARE(line.read(130, Wait).size(), 130);
    line.write("\x11");
    QVERIFY(line.waitHangUp(Wait));
    QVERIFY(emu.waitFor([&] { return emu.hungUp(); }, Wait));
    QCOMPARE(emu.blocksSent(), 2);
}

void TestProgrammerEmulator::silenceAfterBytesSent()
{
    ProgrammerEmulator emu;
    QVERIFY(emu.start());
    LineClient line(emu.slavePath());
    // Seven date bytes, then nothing: the line stays open but silent.
    emu.addFault(EmulatorFault::at(E::BytesSent, A::Silence, 7));
    line.write(LineClient::frame("0D000000"));
    QCOMPARE(line.read(10, 500), QByteArray("1508200"));
    line.write(LineClient::frame("05000001"));
    QVERIFY(emu.waitFor([&] { return emu.frameCount() == 2; }, Wait));
    QCOMPARE(line.read(1, 200), QByteArray());
    QCOMPARE(emu.flash(0x01).at(0), char(0xFF)); // the erase itself was done
    emu.clearFaults();
    line.write(LineClient::frame("05000001"));
    QCOMPARE(line.read(1, Wait), QByteArray("\x06"));
}

void TestProgrammerEmulator::lateReplyComesAfterItsDelay()
{
    ProgrammerEmulator emu;
    emu.addFault(EmulatorFault::at(E::CommandReply, A::Delay).withDelay(400).forCommand(0x05));
    QVERIFY(emu.start());
    LineClient line(emu.slavePath());
    QElapsedTimer clock;
    clock.start();
    line.write(LineClient::frame("05000001"));
    QCOMPARE(line.read(1, Wait), QByteArray("\x06"));
    QVERIFY2(clock.elapsed() >= 390, qPrintable(QString::number(clock.elapsed())));
}

void TestProgrammerEmulator::pacingTakesAtLeastTheLineTime()
{
    ProgrammerEmulator emu;
    emu.setPaced(true);
    QVERIFY(emu.paced());
    QVERIFY(emu.start());
    LineClient line(emu.slavePath());
    // 13 frame bytes in, then 4 x (130 characters out, DC1/DC3 in), then
    // the ACK, one after the other: at least 538 byte times.
    QElapsedTimer clock;
    clock.start();
    line.write(LineClient::frame("06000001"));
    QByteArray got;
    for (int b = 0; b < 4; ++b) {
        got += line.read(130, Wait);
        line.write(b < 3 ? "\x11" : "\x13");
    }
    got += line.read(1, Wait);
    const qint64 ns = clock.nsecsElapsed();
    QCOMPARE(got.size(), 4 * 130 + 1);
    QVERIFY2(ns >= 538 * ProgrammerEmulator::ByteTimeNs, qPrintable(QString::number(ns)));
}

void TestProgrammerEmulator::stopClosesAndStartOpensAFreshLine()
{
    ProgrammerEmulator emu;
    QVERIFY(emu.start());
    QVERIFY(emu.start()); // already running: nothing happens
    const QString first = emu.slavePath();
    LineClient before(first);
    emu.stop();
    QVERIFY(!emu.isRunning());
    QVERIFY(before.waitHangUp(Wait));
    QVERIFY(emu.start());
    LineClient after(emu.slavePath());
    after.write(LineClient::frame("0D000000"));
    QCOMPARE(after.read(10, Wait).size(), 10);
}

void TestProgrammerEmulator::servesAGivenDevice()
{
    PtyPair pty; // the test plays the program on the master
    QVERIFY(pty.isValid());
    ProgrammerEmulator emu;
    emu.setDevicePath(pty.slavePath());
    emu.setLowerCaseHex(true);
    QVERIFY(emu.start());
    QCOMPARE(emu.slavePath(), pty.slavePath());
    pty.write(LineClient::frame("09000006"));
    QCOMPARE(pty.read(2, Wait), QByteArray("df"));

    ProgrammerEmulator missing;
    missing.setDevicePath("/nonexistent/tty");
    QString error;
    QVERIFY(!missing.start(&error));
    QVERIFY(error.contains("No such file"));
}

void TestProgrammerEmulator::toolServesUntilTerminated()
{
    QTemporaryDir dir;
    const QString pathFile = dir.filePath("path");
    QProcess tool;
    tool.start(TARVO_EMU_BINARY, {"--date", "04062001", "--socket", "AT89C1051", "--fault", "reply:05=nak",
                                  "--print-path-to", pathFile});
    QVERIFY(tool.waitForStarted(Wait));
    QVERIFY(tool.waitForReadyRead(Wait));
    const QString path = QString::fromLocal8Bit(tool.readLine()).trimmed();
    QVERIFY(path.startsWith("/dev/pts/"));
    QFile written(pathFile);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLocal8Bit(written.readAll()).trimmed(), path);

    LineClient line(path);
    line.write(LineClient::frame("0D000000"));
    QCOMPARE(line.read(10, Wait), QByteArray("040620018D"));
    line.write(LineClient::frame("05000001"));
    QCOMPARE(line.read(1, Wait), QByteArray("\x15"));
    line.write(LineClient::frame("0A03FF01"));
    QCOMPARE(line.read(1, Wait), QByteArray("\x06"));

    ::kill(pid_t(tool.processId()), SIGTERM);
    QVERIFY(tool.waitForFinished(Wait));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY(line.waitHangUp(Wait));
}

void TestProgrammerEmulator::toolRejectsBadOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("help") << QStringList{"--help"} << 0;
    QTest::newRow("short date") << QStringList{"--date", "0406200"} << 2;
    QTest::newRow("unknown socket") << QStringList{"--socket", "AT89X"} << 2;
    QTest::newRow("bad fault") << QStringList{"--fault", "reply=explode"} << 2;
    QTest::newRow("missing device") << QStringList{"--device", "/nonexistent/tty"} << 2;
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2;
}

void TestProgrammerEmulator::toolRejectsBadOptions()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QProcess tool;
    tool.start(TARVO_EMU_BINARY, args);
    QVERIFY(tool.waitForFinished(Wait));
    QCOMPARE(tool.exitCode(), exitCode);
    if (exitCode == 0)
        QVERIFY(tool.readAllStandardOutput().contains("--print-path-to"));
    else
        QVERIFY(!tool.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestProgrammerEmulator)
#include "tst_ProgrammerEmulator.moc"
