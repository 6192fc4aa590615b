#include "HexFileLoader.h"
#include "PieceDevice.h"

#include <QTest>

namespace {

using Result = HexFileLoader::Result;

QByteArray bytesAt(const MemoryBuffer &buffer, uint16_t from, int count)
{
    QByteArray out;
    for (int k = 0; k < count; ++k)
        out.append(char(buffer.at(uint16_t(from + k))));
    return out;
}

bool allFF(const MemoryBuffer &buffer, uint32_t from = 0, uint32_t to = 0xFFFF)
{
    for (uint32_t a = from; a <= to; ++a)
        if (buffer.at(uint16_t(a)) != 0xFF)
            return false;
    return true;
}

// A device that hands out its bytes and then fails, as a disk read would.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(QByteArray head) : m_head(std::move(head)) { open(QIODevice::ReadOnly); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_head.isEmpty()) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        const qint64 n = std::min<qint64>(maxSize, m_head.size());
        memcpy(data, m_head.constData(), size_t(n));
        m_head.remove(0, n);
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }
    bool isSequential() const override { return true; }

private:
    QByteArray m_head;
};

} // namespace

class TestHexFileLoader : public QObject
{
    Q_OBJECT

private slots:
    void endRecordAloneKeepsBufferEnd()
    {
        MemoryBuffer buffer;
        buffer.BufferEnd = 0x1234;
        const Result r = HexFileLoader::load(QByteArray(":00000001FF\r\n"), buffer);
        QVERIFY(r.opened);
        QVERIFY(!r.dataStored);
        QVERIFY(!r.formatError);
        QCOMPARE(r.damagedCount, 0);
        QCOMPARE(buffer.BufferEnd, 0x1234);
        QVERIFY(allFF(buffer));
    }

    void dataRecordStoresItsBytesWhateverTheChecksum()
    {
        for (const QByteArray &sum : {QByteArray("1E"), QByteArray("00"), QByteArray("zz")}) {
            MemoryBuffer buffer;
            const Result r = HexFileLoader::load(":0300300002337A" + sum + "\r\n", buffer);
            QCOMPARE(bytesAt(buffer, 0x30, 3), QByteArray("\x02\x33\x7A"));
            QCOMPARE(buffer.BufferEnd, 0x0032);
            QVERIFY(r.dataStored);
            QVERIFY(allFF(buffer, 0, 0x2F));
            QVERIFY(allFF(buffer, 0x33));
            QCOMPARE(r.damagedCount, sum == "1E" ? 0 : 1);
        }
    }

    void bufferEndIsTheLastRecordNotTheHighest()
    {
        QByteArray file;
        for (int a = 0; a < 0x800; a += 16)
            file += ":10" + QByteArray::number(a, 16).rightJustified(4, '0').toUpper()
                    + "00000102030405060708090A0B0C0D0E0F00\r\n";
        file += ":10001000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFE0\r\n:00000001FF\r\n";
        MemoryBuffer buffer;
        HexFileLoader::load(file, buffer);
        QCOMPARE(buffer.BufferEnd, 0x001F);
        QCOMPARE(buffer.at(0x7FF), 0x0F);
    }

    void zeroCountRecordSetsEndBelowItsAddress()
    {
        MemoryBuffer buffer;
        HexFileLoader::load(":00000000\r\n", buffer);
        QCOMPARE(buffer.BufferEnd, 0xFFFF);
        HexFileLoader::load(":00010000\r\n", buffer);
        QCOMPARE(buffer.BufferEnd, 0x00FF);
        QVERIFY(allFF(buffer));
    }

    void addressesWrapWithinTheBuffer()
    {
        MemoryBuffer buffer;
        const Result r = HexFileLoader::load(":10FFF800000102030405060708090A0B0C0D0E0F81\r\n", buffer);
        QCOMPARE(r.damagedCount, 0);
        QCOMPARE(bytesAt(buffer, 0xFFF8, 8), QByteArray::fromHex("0001020304050607"));
        QCOMPARE(bytesAt(buffer, 0x0000, 8), QByteArray::fromHex("08090A0B0C0D0E0F"));
        QCOMPARE(buffer.BufferEnd, 0x0007);
    }

    void longestRecordIsReadWhole()
    {
        QByteArray data;
        unsigned sum = 0xFF + 0xFF + 0x10;
        for (int k = 0; k < 255; ++k) {
            data += QByteArray::number(k, 16).rightJustified(2, '0').toUpper();
            sum += unsigned(k);
        }
        const QByteArray line = ":FFFF1000" + data + QByteArray::number((256 - sum % 256) % 256, 16).rightJustified(2, '0');
        MemoryBuffer buffer;
        const Result r = HexFileLoader::load(line + QByteArray(400, ' ') + "\n", buffer);
        QCOMPARE(r.damagedCount, 0);
        QCOMPARE(buffer.at(0xFF10), 0x00);
        QCOMPARE(buffer.at(0xFFFF), 0xEF);
        QCOMPARE(buffer.at(0x0000), 0xF0);
        QCOMPARE(buffer.at(0x000E), 0xFE);
        QCOMPARE(buffer.at(0x000F), 0xFF);
        QCOMPARE(buffer.BufferEnd, 0x000E);
    }

    void emptyLinesAreSkippedAndLeadingBlankStops()
    {
        MemoryBuffer buffer;
        const Result r = HexFileLoader::load("\r\n:0100000011EE\r\n\r\n\r\n :0100010022DC\r\n:0100020033CA\r\n", buffer);
        QVERIFY(r.formatError);
        QCOMPARE(r.formatErrorLine, 5);
        QCOMPARE(buffer.at(0), 0x11);
        QCOMPARE(buffer.at(1), 0xFF);
        QCOMPARE(buffer.at(2), 0xFF);
        QCOMPARE(buffer.BufferEnd, 0x0000);
    }

    void lowerCaseLoadsLikeUpperCase()
    {
        MemoryBuffer upper, lower;
        HexFileLoader::load(":04ABC000DEADBEEF59\r\n", upper);
        const Result r = HexFileLoader::load(":04abc000deadbeef59\r\n", lower);
        QCOMPARE(r.damagedCount, 0);
        QCOMPARE(bytesAt(lower, 0xABC0, 4), QByteArray::fromHex("DEADBEEF"));
        QCOMPARE(bytesAt(lower, 0, 0xFFFF), bytesAt(upper, 0, 0xFFFF));
        QCOMPARE(lower.BufferEnd, 0xABC3);
    }

    void recordsAfterTheEndRecordAreRead()
    {
        MemoryBuffer buffer;
        HexFileLoader::load(":00000001FF\r\n:0100050042B8\r\n", buffer);
        QCOMPARE(buffer.at(5), 0x42);
        QCOMPARE(buffer.BufferEnd, 0x0005);
    }

    void otherTypesAreStoredAsData()
    {
        MemoryBuffer buffer;
        HexFileLoader::load(":01001006AA3F\r\n", buffer);
        QCOMPARE(buffer.at(0x10), 0xAA);
        QCOMPARE(buffer.BufferEnd, 0x0010);
    }

    void addressRecordsStoreNothing()
    {
        MemoryBuffer buffer;
        buffer.BufferEnd = 0x0200;
        const Result r = HexFileLoader::load(":020000040000FA\r\n:020000021000EC\r\n:020000020000FC\r\n"
                                             ":0400000300001234B3\r\n:0400000500001234B1\r\n", buffer);
        QVERIFY(!r.dataStored);
        QVERIFY(!r.formatError);
        QCOMPARE(r.damagedCount, 0);
        QCOMPARE(buffer.BufferEnd, 0x0200);
        QVERIFY(allFF(buffer));
    }

    void segmentBaseMovesTheData()
    {
        MemoryBuffer buffer;
        const Result r = HexFileLoader::load(":020000020100FB\r\n:020010001122BB\r\n", buffer);
        QVERIFY(!r.formatError);
        QCOMPARE(bytesAt(buffer, 0x1010, 2), QByteArray("\x11\x22"));
        QCOMPARE(buffer.BufferEnd, 0x1011);
        QCOMPARE(buffer.at(0x0010), 0xFF);
    }

    void dataBeyondTheBufferStopsTheLoad_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("line");
        // Linear base 1_0000: any data is beyond 64 KiB.
        QTest::newRow("linear") << QByteArray(":020000040001F9\r\n:0100000055AA\r\n") << 3;
        // Segment base FFF0: 16 bytes fit, 17 do not.
        QTest::newRow("segment") << QByteArray(":020000020FFFEE\r\n:10000000000102030405060708090A0B0C0D0E0F78\r\n"
                                               ":1100000000000000000000000000000000000000EF\r\n") << 4;
        QTest::newRow("segment F000") << QByteArray(":02000002F0000C\r\n:0100000055AA\r\n") << 3;
    }

    void dataBeyondTheBufferStopsTheLoad()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, line);
        MemoryBuffer buffer;
        const Result r = HexFileLoader::load(":0100000077882\r\n" + file + ":0100010066AA\r\n", buffer);
        QVERIFY(r.formatError);
        QCOMPARE(r.formatErrorLine, line);
        QCOMPARE(buffer.at(0), 0x77);
        QCOMPARE(buffer.at(1), 0xFF);
        if (QByteArray(QTest::currentDataTag()) == "segment") {
            QCOMPARE(bytesAt(buffer, 0xFFF0, 16), QByteArray::fromHex("000102030405060708090A0B0C0D0E0F"));
            QCOMPARE(buffer.BufferEnd, 0xFFFF);
        } else {
            QCOMPARE(buffer.BufferEnd, 0x0000);
        }
    }

    void highBaseWithoutDataIsNoError()
    {
        MemoryBuffer buffer;
        const Result r = HexFileLoader::load(":020000040001F9\r\n:020000040000FA\r\n:0100000055AA\r\n:00000001FF\r\n", buffer);
        QVERIFY(!r.formatError);
        QCOMPARE(buffer.at(0), 0x55);
    }

    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("eol");
        QTest::newRow("CR LF") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray("\r");
        QTest::newRow("LF CR") << QByteArray("\n\r");
    }

    void lineEnds()
    {
        QFETCH(QByteArray, eol);
        MemoryBuffer buffer;
        const Result r = HexFileLoader::load(":0100000011EE" + eol + ":0100010022DC" + eol + ":0100020033CA" + eol
                                                 + ":00000001FF" + eol, buffer);
        QVERIFY(!r.formatError);
        QCOMPARE(r.damagedCount, 0);
        QCOMPARE(bytesAt(buffer, 0, 3), QByteArray("\x11\x22\x33"));
        QCOMPARE(buffer.BufferEnd, 0x0002);
    }

    void ctrlZEndsLineAndFile()
    {
        MemoryBuffer buffer;
        Result r = HexFileLoader::load(":0100000011EE\x1A:0100010022DC\r\n", buffer);
        QCOMPARE(buffer.at(0), 0x11);
        QCOMPARE(buffer.at(1), 0xFF);
        QVERIFY(!r.formatError);
        r = HexFileLoader::load(":0100000011EE\r\n\x1Agarbage\r\n", buffer);
        QVERIFY(!r.formatError);
        QCOMPARE(buffer.at(0), 0x11);
    }

    void lastLineWithoutLineEndIsRead()
    {
        MemoryBuffer buffer;
        HexFileLoader::load(":0100000011EE", buffer);
        QCOMPARE(buffer.at(0), 0x11);
    }

    void damagedRecordsAreStoredAndCounted()
    {
        MemoryBuffer buffer;
        const Result r = HexFileLoader::load(":0100000011EE\r\n"
                                             "\r\n"
                                             ":03003000G2337A1E\r\n"          // not a hex digit
                                             ":0400400001\r\n"                // short: missing bytes are 00
                                             ":0100500055AA\r\n"              // wrong checksum
                                             ":0100600066\r\n"                // checksum missing
                                             ":010070007718trailing\r\n"  // longer than needed: fine
                                             ":0400000400\r\n"                // address record, short
                                             ":00000001FF\r\n",
                                             buffer);
        QCOMPARE(r.firstDamagedLine, 3);
        QCOMPARE(r.damagedCount, 5);
        QCOMPARE(bytesAt(buffer, 0x30, 3), QByteArray("\x02\x33\x7A"));
        QCOMPARE(bytesAt(buffer, 0x40, 4), QByteArray("\x01\x00\x00\x00", 4));
        QCOMPARE(buffer.at(0x50), 0x55);
        QCOMPARE(buffer.at(0x60), 0x66);
        QCOMPARE(buffer.at(0x70), 0x77);
        QCOMPARE(buffer.BufferEnd, 0x0070);
    }

    void shortAndOddLinesFollowTheDigitRules()
    {
        // ":" alone: count, address and type all count as 0.
        MemoryBuffer buffer;
        Result r = HexFileLoader::load(":\r\n", buffer);
        QCOMPARE(buffer.BufferEnd, 0xFFFF);
        QCOMPARE(r.damagedCount, 1);
        // A NUL among the digits counts as the digit 0.
        r = HexFileLoader::load(QByteArray(":01000000\0" "1EE\r\n", 15), buffer);
        QCOMPARE(buffer.at(0), 0x01);
        QCOMPARE(r.damagedCount, 1);
        r = HexFileLoader::load(QByteArray("\0\0\0:0100000011EE\r\n", 18), buffer);
        QVERIFY(r.formatError);
        QCOMPARE(buffer.at(0), 0xFF);
    }

    void readErrorKeepsWhatWasStored()
    {
        MemoryBuffer buffer;
        FailingDevice device(":0100000011EE\r\n:0100010022DC\r\n");
        const Result r = HexFileLoader::load(device, buffer);
        QVERIFY(r.readError);
        QCOMPARE(r.readErrorText, QStringLiteral("Input/output error"));
        QCOMPARE(bytesAt(buffer, 0, 3), QByteArray("\x11\x22\xFF"));
        QCOMPARE(buffer.BufferEnd, 0x0001);
    }

    void linesSplitAcrossReadsLoadTheSame()
    {
        const QByteArray file(":0100000011EE\r\n:0100010022DC\r:0100020033CA\n\r\n:0100030044\r\n"
                              ":020000020100FB\n:0200100055AA00\r\n:00000001FF\r\n"
                              "\n\r\r:0100040066\x1A:0100050077");
        MemoryBuffer whole;
        const Result expected = HexFileLoader::load(file, whole);
        QCOMPARE(expected.lines, 12);
        QCOMPARE(expected.damagedCount, 3);
        QCOMPARE(whole.BufferEnd, 0x1004);
        for (qint64 piece = 1; piece <= 9; ++piece) {
            MemoryBuffer buffer;
            PieceDevice device(file, piece);
            const Result r = HexFileLoader::load(device, buffer);
            QCOMPARE(r.lines, expected.lines);
            QCOMPARE(r.damagedCount, expected.damagedCount);
            QCOMPARE(r.firstDamagedLine, expected.firstDamagedLine);
            QCOMPARE(buffer.BufferEnd, whole.BufferEnd);
            QVERIFY(memcmp(buffer.data(), whole.data(), MemoryBuffer::Size) == 0);
        }
    }

    void loadStartsFromAnEmptyBuffer()
    {
        MemoryBuffer buffer;
        HexFileLoader::load(":0100000011EE\r\n", buffer);
        HexFileLoader::load(":0100010022DC\r\n", buffer);
        QCOMPARE(buffer.at(0), 0xFF);
        QCOMPARE(buffer.at(1), 0x22);
    }
};

QTEST_GUILESS_MAIN(TestHexFileLoader)
#include "tst_HexFileLoader.moc"
