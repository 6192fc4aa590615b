// The programmer's side of the protocol, fed byte by byte without a line.
#include "EmulatorProtocol.h"
#include "FaultText.h"

#include <QtTest>

namespace {

using E = EmulatorFault::Event;
using A = EmulatorFault::Action;

QByteArray frame(const char *word)
{
    const QByteArray w(word);
    int sum = 3;
    for (int i = 0; i < 8; i += 2)
        sum += w.mid(i, 2).toInt(nullptr, 16);
    return "\x18\x02" + w + "\x03" + QByteArray::number(sum & 0xFF, 16).rightJustified(2, '0').toUpper();
}

QByteArray block(const QByteArray &data64, int sumDelta = 0)
{
    int sum = 0;
    for (char c : data64)
        sum += uint8_t(c);
    return data64.toHex().toUpper() + QByteArray::number((sum + sumDelta) & 0xFF, 16).rightJustified(2, '0').toUpper();
}

QByteArray pattern(int size, int seed = 0)
{
    QByteArray data(size, 0);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + seed + i / 256) & 0xFF);
    return data;
}

struct Harness
{
    EmulatorProtocol proto;
    bool hungUp = false;
    int delayMs = 0;

    QByteArray feed(const QByteArray &bytes)
    {
        std::vector<EmulatorProtocol::Output> out;
        for (char c : bytes)
            proto.feed(uint8_t(c), 0, out);
        QByteArray replies;
        for (const auto &o : out) {
            if (o.kind == EmulatorProtocol::Output::Kind::HangUp)
                hungUp = true;
            else
                replies += char(o.byte);
            delayMs += o.delayMs;
        }
        return replies;
    }

    // Program or verify `image` from address 0, one block per DC1; returns
    // the reply to the final DC3 (or the NAK report that ended it).
    QByteArray transfer(const char *word, const QByteArray &image)
    {
        QByteArray r = feed(frame(word));
        for (int a = 0; a < image.size(); a += 64) {
            if (r != "\x11")
                return r;
            r = feed(block(image.mid(a, 64)));
        }
        return r == "\x11" ? feed("\x13") : r;
    }

    // Reads `blocks` blocks; returns the data, and the final reply in *tail.
    QByteArray read(const char *word, int blocks, QByteArray *tail)
    {
        QByteArray data;
        QByteArray r = feed(frame(word));
        for (int b = 0; b < blocks; ++b) {
            if (r.size() != 130) {
                *tail = r;
                return data;
            }
            data += QByteArray::fromHex(r.left(128));
            r = feed(b + 1 < blocks ? "\x11" : "\x13");
        }
        *tail = r;
        return data;
    }
};

} // namespace

class TestEmulatorProtocol : public QObject
{
    Q_OBJECT
private slots:
    void detectionSendsDateChecksumAndAckAfterDc3();
    void corruptFramesAreLoggedButUnanswered_data();
    void corruptFramesAreLoggedButUnanswered();
    void canAbandonsExchangeAndStrayBytesAreIgnored();
    void refusedCommandsGetNak_data();
    void refusedCommandsGetNak();
    void eraseBlankAndLock();
    void programThenReadGivesImage();
    void programReportsLockedAndBadBlocks();
    void programPastFlashEndFailsAtFirstNonErasedByte();
    void verifyReportsFirstMismatch();
    void readIsPacedByDc1AndErasedPastFlashEnd();
    void fuseAndLockBytes();
    void lowerCaseHex();
    void replyFaults();
    void readBlockContentFaults();
    void blockFaultsAtIndex();
    void byteCountFaults();
    void faultSpecParses_data();
    void faultSpecParses();
    void faultSpecRejects_data();
    void faultSpecRejects();
};

void TestEmulatorProtocol::detectionSendsDateChecksumAndAckAfterDc3()
{
    Harness h;
    QVERIFY(!h.proto.setFirmwareDate("0406200"));
    QVERIFY(h.proto.setFirmwareDate("04062001"));
    QCOMPARE(h.feed(frame("0D000000")), QByteArray("040620018D"));
    QCOMPARE(h.feed("\x05\x11"), QByteArray()); // only DC3 gets the ACK
    QCOMPARE(h.feed("\x13"), QByteArray("\x06"));
    QCOMPARE(h.feed("\x13"), QByteArray());
    QCOMPARE(h.proto.frames().size(), 1);
    QVERIFY(h.proto.frames().first().checksumOk);
    QCOMPARE(h.proto.frames().first().streamOffset, 1); // the STX after the CAN
}

void TestEmulatorProtocol::corruptFramesAreLoggedButUnanswered_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("logged");
    QTest::newRow("wrong checksum") << QByteArray("\x02" "05000001\x03" "0A") << true;
    QTest::newRow("non-hex word") << QByteArray("\x02" "05G00001\x03" "09") << true;
    QTest::newRow("non-hex checksum") << QByteArray("\x02" "05000001\x03" "0Z") << true;
    QTest::newRow("short word") << QByteArray("\x02" "0500001\x03" "09") << false;
    QTest::newRow("no ETX") << QByteArray("\x02" "05000001X09") << false;
}

void TestEmulatorProtocol::corruptFramesAreLoggedButUnanswered()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, logged);
    Harness h;
    h.proto.device(1).flash[5] = 0;
    QCOMPARE(h.feed(bytes), QByteArray());
    QCOMPARE(uint8_t(h.proto.device(1).flash[5]), uint8_t(0)); // nothing erased
    QCOMPARE(h.proto.frames().size(), logged ? 1 : 0);
    if (logged)
        QVERIFY(!h.proto.frames().first().checksumOk);
    // The next good frame is served normally.
    QCOMPARE(h.feed(frame("05000001")), QByteArray("\x06"));
}

void TestEmulatorProtocol::canAbandonsExchangeAndStrayBytesAreIgnored()
{
    Harness h;
    QCOMPARE(h.feed("\x05\x11\x13\x06 garbage"), QByteArray());
    QCOMPARE(h.feed(frame("01000001")), QByteArray("\x11"));
    QCOMPARE(h.feed(block(QByteArray(64, 0x11)).left(50)), QByteArray());
    // CAN mid-block drops the half block; DC3 is then no longer an answer.
    QCOMPARE(h.feed("\x18\x13"), QByteArray());
    QCOMPARE(uint8_t(h.proto.device(1).flash[0]), uint8_t(0xFF));
    QCOMPARE(h.feed(frame("06000001")).size(), 130);
    QCOMPARE(h.feed("\x18\x11\x13"), QByteArray());
    QCOMPARE(h.feed(frame("0D000000")).size(), 10);
    QCOMPARE(h.feed("\x18\x13"), QByteArray());
}

void TestEmulatorProtocol::refusedCommandsGetNak_data()
{
    QTest::addColumn<QByteArray>("word");
    QTest::newRow("unknown command") << QByteArray("0E000001");
    QTest::newRow("type 00") << QByteArray("05000000");
    QTest::newRow("type 09") << QByteArray("05000009");
    QTest::newRow("lock level 0") << QByteArray("03000001");
    QTest::newRow("lock level 4") << QByteArray("03000401");
    QTest::newRow("fuse read on a type without fuse") << QByteArray("09000001");
    QTest::newRow("lock read on type 06") << QByteArray("08000006");
    QTest::newRow("fuse write on type 03") << QByteArray("04000103");
    QTest::newRow("fuse write, high byte set") << QByteArray("04010104");
}

void TestEmulatorProtocol::refusedCommandsGetNak()
{
    QFETCH(QByteArray, word);
    Harness h;
    QCOMPARE(h.feed(frame(word.constData())), QByteArray("\x15"));
    QCOMPARE(h.proto.device(1).lockBits, uint8_t(0));
}

void TestEmulatorProtocol::eraseBlankAndLock()
{
    Harness h;
    SimulatedDevice &dev = h.proto.device(1);
    QCOMPARE(h.feed(frame("0A07FF01")), QByteArray("\x06"));
    dev.flash[0x07FF] = 0x7F;
    QCOMPARE(h.feed(frame("0A07FF01")), QByteArray("\x15"));
    QCOMPARE(h.feed(frame("0A07FE01")), QByteArray("\x06")); // the range ends before it
    QCOMPARE(h.feed(frame("0A07FF03")), QByteArray("\x06")); // other types are other devices

    QCOMPARE(h.feed(frame("03000101")), QByteArray("\x06"));
    QCOMPARE(dev.lockBits, uint8_t(0x01));
    QCOMPARE(h.feed(frame("03000301")), QByteArray("\x06"));
    QCOMPARE(dev.lockBits, uint8_t(0x07));

    QCOMPARE(h.feed(frame("05000001")), QByteArray("\x06"));
    QCOMPARE(dev.lockBits, uint8_t(0));
    QCOMPARE(dev.flash, QByteArray(0x10000, char(0xFF)));

    // A blank check past a small flash covers what is there.
    dev.flash = QByteArray(0x400, char(0xFF));
    QCOMPARE(h.feed(frame("0AFFFF01")), QByteArray("\x06"));
}

void TestEmulatorProtocol::programThenReadGivesImage()
{
    Harness h;
    const QByteArray image = pattern(0x800);
    QCOMPARE(h.transfer("01000001", image), QByteArray("\x06"));
    QCOMPARE(h.proto.device(1).flash.left(0x800), image);
    QCOMPARE(h.proto.device(1).flash.mid(0x800, 1), QByteArray("\xFF"));
    QCOMPARE(h.proto.blocksReceived(), 32);
    QCOMPARE(h.transfer("0C000001", image), QByteArray("\x06"));

    QByteArray tail;
    QCOMPARE(h.read("06000001", 32, &tail), image);
    QCOMPARE(tail, QByteArray("\x06"));
    QCOMPARE(h.proto.blocksSent(), 32);
}

void TestEmulatorProtocol::programReportsLockedAndBadBlocks()
{
    Harness h;
    h.proto.device(1).lockBits = 0x02;
    QCOMPARE(h.transfer("01000001", pattern(0x400)), QByteArray("\x15" "0000"));
    QCOMPARE(h.proto.device(1).flash.left(64), QByteArray(64, char(0xFF)));

    h.proto.device(1).lockBits = 0;
    QCOMPARE(h.feed(frame("01000001")), QByteArray("\x11"));
    QCOMPARE(h.feed(block(pattern(64))), QByteArray("\x11"));
    QCOMPARE(h.feed(block(pattern(64, 1), 1)), QByteArray("\x15" "0040"));
    QCOMPARE(h.feed(frame("01000001")), QByteArray("\x11"));
    QCOMPARE(h.feed(block(pattern(64)).replace(3, 1, "x")), QByteArray("\x15" "0000"));
    // DC3 that is not at a block boundary spoils the block too.
    QCOMPARE(h.feed(frame("01000001")), QByteArray("\x11"));
    QCOMPARE(h.feed("0102\x13"), QByteArray("\x15" "0000"));
}

void TestEmulatorProtocol::programPastFlashEndFailsAtFirstNonErasedByte()
{
    Harness h;
    h.proto.device(1).flash = QByteArray(0x400, char(0xFF));
    QByteArray image = pattern(0x400) + QByteArray(64, char(0xFF));
    QCOMPARE(h.transfer("01000001", image), QByteArray("\x06"));
    image[0x405] = 0x12;
    QCOMPARE(h.transfer("01000001", image), QByteArray("\x15" "0405"));
}

void TestEmulatorProtocol::verifyReportsFirstMismatch()
{
    Harness h;
    const QByteArray image = pattern(0x400);
    h.proto.device(1).flash.replace(0, image.size(), image);
    QByteArray other = image;
    other[0x1A3] = char(~other[0x1A3]);
    other[0x2A0] = char(~other[0x2A0]);
    QCOMPARE(h.transfer("0C000001", other), QByteArray("\x15" "01A3"));
    QCOMPARE(h.proto.device(1).flash.left(0x400), image); // verify never writes
    QCOMPARE(h.proto.blocksReceived(), 7);
}

void TestEmulatorProtocol::readIsPacedByDc1AndErasedPastFlashEnd()
{
    Harness h;
    h.proto.device(3).flash = pattern(64);
    const QByteArray first = h.feed(frame("06000003"));
    QCOMPARE(first, block(pattern(64)));
    QCOMPARE(h.feed("\x05"), QByteArray()); // only DC1 or DC3 go on
    QCOMPARE(h.feed("\x11"), block(QByteArray(64, char(0xFF))));
    QCOMPARE(h.feed("\x11").right(2), QByteArray("C0"));
    QCOMPARE(h.feed("\x13"), QByteArray("\x06"));
}

void TestEmulatorProtocol::fuseAndLockBytes()
{
    Harness h;
    QCOMPARE(h.feed(frame("09000004")), QByteArray("FE"));
    QCOMPARE(h.feed(frame("08000004")), QByteArray("07"));
    QCOMPARE(h.feed(frame("03000204")), QByteArray("\x06"));
    QCOMPARE(h.feed(frame("08000004")), QByteArray("01"));
    QCOMPARE(h.feed(frame("04000104")), QByteArray("\x06"));
    QCOMPARE(h.feed(frame("09000004")), QByteArray("01"));

    // Types 06 and 07 carry lock bits 1 and 2 in bits 7 and 6.
    QCOMPARE(h.feed(frame("09000006")), QByteArray("DF"));
    QCOMPARE(h.feed(frame("04002007")), QByteArray("\x06"));
    QCOMPARE(h.proto.device(7).fuse, uint8_t(0x20));
    QCOMPARE(h.feed(frame("09000007")), QByteArray("E0"));
    QCOMPARE(h.feed(frame("03000107")), QByteArray("\x06"));
    QCOMPARE(h.feed(frame("09000007")), QByteArray("60"));
    QCOMPARE(h.feed(frame("03000207")), QByteArray("\x06"));
    QCOMPARE(h.feed(frame("09000007")), QByteArray("20"));
    QCOMPARE(h.feed(frame("05000007")), QByteArray("\x06"));
    QCOMPARE(h.feed(frame("09000007")), QByteArray("E0")); // erase clears locks, keeps fuses
}

void TestEmulatorProtocol::lowerCaseHex()
{
    Harness h;
    h.proto.setLowerCaseHex(true);
    QVERIFY(h.proto.setFirmwareDate("04062001"));
    QCOMPARE(h.feed(frame("0D000000")), QByteArray("040620018d"));
    QCOMPARE(h.feed(frame("09000006")), QByteArray("df"));
    QCOMPARE(h.feed(frame("06000001")), QByteArray(128, 'f') + "c0");
    h.proto.device(1).flash[0xAB] = 0;
    QCOMPARE(h.transfer("0C000001", QByteArray(256, char(0xFF))), QByteArray("\x15" "00ab"));
}

void TestEmulatorProtocol::replyFaults()
{
    Harness h;
    // Filtered by command: the erase passes, the blank check gets the fault.
    h.proto.addFault(EmulatorFault::at(E::CommandReply, A::Nak).forCommand(0x0A).withReport("01A3"));
    QCOMPARE(h.feed(frame("05000001")), QByteArray("\x06"));
    QCOMPARE(h.feed(frame("0A07FF01")), QByteArray("\x15" "01A3"));
    QCOMPARE(h.proto.pendingFaults(), 0);
    QCOMPARE(h.feed(frame("0A07FF01")), QByteArray("\x06")); // used up

    h.proto.addFault(EmulatorFault::at(E::CommandReply, A::Garbage).withByte(0x11));
    QCOMPARE(h.feed(frame("05000001")), QByteArray("\x11"));
    h.proto.addFault(EmulatorFault::at(E::CommandReply, A::Delay).withDelay(16000));
    QCOMPARE(h.feed(frame("05000001")), QByteArray("\x06"));
    QCOMPARE(h.delayMs, 16000);
    h.proto.addFault(EmulatorFault::at(E::FinalReply, A::Silence));
    QCOMPARE(h.transfer("01000001", pattern(128)), QByteArray());

    h.proto.addFault(EmulatorFault::at(E::DetectionReply, A::WrongChecksum));
    QVERIFY(h.proto.setFirmwareDate("04062001"));
    QCOMPARE(h.feed(frame("0D000000")), QByteArray("040620018E"));
    h.proto.addFault(EmulatorFault::at(E::DetectionAck, A::Silence));
    QCOMPARE(h.feed(frame("0D000000")), QByteArray("040620018D"));
    QCOMPARE(h.feed("\x13"), QByteArray());

    h.proto.addFault(EmulatorFault::at(E::FuseReply, A::Value).withByte(0x00));
    QCOMPARE(h.feed(frame("09000004")), QByteArray("00"));
    h.proto.addFault(EmulatorFault::at(E::FuseReply, A::NonHex).withOffset(1));
    QCOMPARE(h.feed(frame("09000004")), QByteArray("FG"));
    h.proto.addFault(EmulatorFault::at(E::CommandReply, A::Silence).forCommand(0x04));
    QCOMPARE(h.feed(frame("04000104")), QByteArray());
    QCOMPARE(h.proto.device(4).fuse, uint8_t(0x01)); // written, just not acknowledged

    QVERIFY(!h.hungUp);
    h.proto.addFault(EmulatorFault::at(E::LockReply, A::HangUp));
    QCOMPARE(h.feed(frame("08000004")), QByteArray());
    QVERIFY(h.hungUp);
}

void TestEmulatorProtocol::readBlockContentFaults()
{
    Harness h;
    h.proto.device(1).flash.replace(0, 256, pattern(256));
    QByteArray tail;
    h.proto.addFault(EmulatorFault::at(E::ReadBlock, A::WrongData, 2).withOffset(5));
    QByteArray data = h.read("06000001", 4, &tail);
    QByteArray expected = pattern(256);
    expected[128 + 5] = char(~expected[128 + 5]);
    QCOMPARE(data, expected); // with a checksum that matches: silent corruption
    QCOMPARE(tail, QByteArray("\x06"));

    h.proto.addFault(EmulatorFault::at(E::ReadBlock, A::WrongChecksum, 1));
    QCOMPARE(h.feed(frame("06000001")), block(pattern(64)));
    QCOMPARE(h.feed("\x11"), block(pattern(256).mid(64, 64), 1));

    h.proto.addFault(EmulatorFault::at(E::ReadBlock, A::NonHex, 0).withOffset(7));
    QCOMPARE(h.feed(frame("06000001")), block(pattern(64)).replace(7, 1, "G"));

    h.proto.addFault(EmulatorFault::at(E::ReadBlock, A::Silence, 1));
    QCOMPARE(h.feed(frame("06000001")).size(), 130);
    QCOMPARE(h.feed("\x11"), QByteArray());
    QCOMPARE(h.feed("\x11\x13"), QByteArray()); // the read was dropped
}

void TestEmulatorProtocol::blockFaultsAtIndex()
{
    Harness h;
    h.proto.addFault(EmulatorFault::at(E::BlockRequest, A::Nak, 3).withReport("0C"));
    QCOMPARE(h.transfer("01000001", pattern(0x400)), QByteArray("\x15" "0C"));
    QCOMPARE(h.proto.blocksReceived(), 3);

    // A weak cell: programmed without complaint, found by the verify.
    h.proto.addFault(EmulatorFault::at(E::BlockReceived, A::WrongData, 2).withOffset(1));
    QCOMPARE(h.transfer("01000001", pattern(0x400)), QByteArray("\x06"));
    QCOMPARE(h.transfer("0C000001", pattern(0x400)), QByteArray("\x15" "0081"));

    h.proto.addFault(EmulatorFault::at(E::BlockReceived, A::WrongData, 1).withOffset(4).forCommand(0x0C));
    QCOMPARE(h.transfer("01000001", pattern(0x400)), QByteArray("\x06"));
    QCOMPARE(h.transfer("0C000001", pattern(0x400)), QByteArray("\x15" "0044"));
}

void TestEmulatorProtocol::byteCountFaults()
{
    Harness h;
    h.proto.addFault(EmulatorFault::at(E::BytesSent, A::Silence, 3));
    QCOMPARE(h.proto.sendableBeforeFault(), 3);
    QCOMPARE(h.proto.noteSent('a').kind, EmulatorProtocol::SentEffect::Kind::None);
    QCOMPARE(h.proto.sendableBeforeFault(), 2);
    h.proto.addFault(EmulatorFault::at(E::BytesSent, A::HangUp, 1)); // counted from now
    QCOMPARE(h.proto.sendableBeforeFault(), 1);
    QCOMPARE(h.proto.noteSent('b').kind, EmulatorProtocol::SentEffect::Kind::HangUp);
    QVERIFY(!h.proto.muted());
    QCOMPARE(h.proto.noteSent('c').kind, EmulatorProtocol::SentEffect::Kind::Mute);
    QVERIFY(h.proto.muted());
    QCOMPARE(h.proto.sendableBeforeFault(), -1);
    QCOMPARE(h.proto.sent(), QByteArray("abc"));
    h.proto.clearFaults();
    QVERIFY(!h.proto.muted());
}

void TestEmulatorProtocol::faultSpecParses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("event");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("value");
    QTest::newRow("nak erase") << "reply:05=nak:01A3" << int(E::CommandReply) << int(A::Nak) << 5 << -1 << "01A3";
    QTest::newRow("read checksum") << "read-block@3=wrong-checksum" << int(E::ReadBlock) << int(A::WrongChecksum)
                                   << -1 << 3 << "";
    QTest::newRow("hang up") << "bytes-sent@100=hang-up" << int(E::BytesSent) << int(A::HangUp) << -1 << 100 << "";
    QTest::newRow("late") << "reply:0A=delay:2000" << int(E::CommandReply) << int(A::Delay) << 10 << -1 << "2000";
    QTest::newRow("fuse value") << "fuse=value:e0" << int(E::FuseReply) << int(A::Value) << -1 << -1 << "224";
    QTest::newRow("garbage") << "block-request:0C@2=garbage:41" << int(E::BlockRequest) << int(A::Garbage) << 12
                             << 2 << "65";
    QTest::newRow("non-hex") << "read-block@0=non-hex:9" << int(E::ReadBlock) << int(A::NonHex) << -1 << 0 << "9";
    QTest::newRow("ack") << "detection-ack=silence" << int(E::DetectionAck) << int(A::Silence) << -1 << -1 << "";
}

void TestEmulatorProtocol::faultSpecParses()
{
    QFETCH(QString, text);
    QFETCH(int, event);
    QFETCH(int, action);
    QFETCH(int, command);
    QFETCH(int, index);
    QFETCH(QString, value);
    QString error;
    const auto f = FaultText::parse(text, &error);
    QVERIFY2(f, qPrintable(error));
    QCOMPARE(int(f->event), event);
    QCOMPARE(int(f->action), action);
    QCOMPARE(f->command, command);
    QCOMPARE(f->index, index);
    QString got;
    if (f->action == A::Nak)
        got = QString::fromLatin1(f->report);
    else if (f->action == A::Delay)
        got = QString::number(f->delayMs);
    else if (f->action == A::Value || f->action == A::Garbage)
        got = QString::number(f->byte);
    else if (f->action == A::NonHex)
        got = QString::number(f->offset);
    QCOMPARE(got, value);
}

void TestEmulatorProtocol::faultSpecRejects_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("no action") << "reply";
    QTest::newRow("unknown event") << "replies=nak";
    QTest::newRow("unknown action") << "reply=explode";
    QTest::newRow("bad code") << "reply:5=nak";
    QTest::newRow("bad index") << "read-block@x=silence";
    QTest::newRow("count 0") << "bytes-sent@0=silence";
    QTest::newRow("count missing") << "bytes-sent=silence";
    QTest::newRow("delay needs ms") << "reply=delay";
    QTest::newRow("bad byte") << "fuse=value:1";
    QTest::newRow("no value allowed") << "final=silence:3";
}

void TestEmulatorProtocol::faultSpecRejects()
{
    QFETCH(QString, text);
    QString error;
    QVERIFY(!FaultText::parse(text, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestEmulatorProtocol)
#include "tst_EmulatorProtocol.moc"
