#include "HexListing.h"

#include <QTest>

class TestHexListing : public QObject
{
    Q_OBJECT

private slots:
    void lineLayout()
    {
        MemoryBuffer buffer;
        const QByteArray bytes = QByteArray::fromHex("48656C6C6F00FF7E203132330D0A4142");
        for (int k = 0; k < 16; ++k)
            buffer.set(uint16_t(0x0100 + k), uint8_t(bytes[k]));
        const QString line = HexListing::line(buffer, 0x0100);
        QCOMPARE(line, QStringLiteral("0100 : 48 65 6C 6C 6F 00 FF 7E 20 31 32 33 0D 0A 41 42   Hello..~ 123..AB"));
        QCOMPARE(line.size(), HexListing::LineLength);
    }

    void characterColumn()
    {
        MemoryBuffer buffer;
        const uint8_t values[16] = {0x1F, 0x20, 0x21, 0x7E, 0x7F, 0x80, 0xA0, 0xFF, 0x00, 0x09, 0x30, 0x41, 0x61, 0x2E, 0x7A, 0x81};
        for (int k = 0; k < 16; ++k)
            buffer.set(uint16_t(0xFFF0 + k), values[k]);
        const QString chars = HexListing::line(buffer, 0xFFF0).mid(HexListing::CharColumn);
        QCOMPARE(chars, QStringLiteral(". !~") + QChar(0x7F) + QStringLiteral(".....0Aa.z."));
        QVERIFY(HexListing::line(buffer, 0xFFF0).startsWith(QStringLiteral("FFF0 : 1F 20 21 7E 7F 80 A0 FF ")));
    }

    void ranges_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("lines");
        QTest::newRow("start-up 01FF") << 0x01FF << 32;
        QTest::newRow("AT89C2051 07FF") << 0x07FF << 128;
        QTest::newRow("AT89C55 4FFF") << 0x4FFF << 1280;
        QTest::newRow("file ending at 0123") << 0x0123 << 0x13;
        QTest::newRow("multiple of 16: 0200") << 0x0200 << 32;
        QTest::newRow("0010 hides the byte at 0010") << 0x0010 << 1;
        QTest::newRow("0001") << 0x0001 << 1;
        QTest::newRow("0000 still lists 0000") << 0x0000 << 1;
        QTest::newRow("FFF0") << 0xFFF0 << 4095;
        QTest::newRow("FFF1") << 0xFFF1 << 4096;
        QTest::newRow("FFFF stops at FFF0") << 0xFFFF << 4096;
    }

    void ranges()
    {
        QFETCH(int, limit);
        QFETCH(int, lines);
        MemoryBuffer buffer;
        for (int a = 0; a < MemoryBuffer::Size; ++a)
            buffer.set(uint16_t(a), uint8_t(a * 7));
        const QString text = HexListing::text(buffer, uint16_t(limit));
        QCOMPARE(HexListing::lineCount(uint16_t(limit)), lines);
        const QStringList listed = text.split(QLatin1Char('\n'));
        QCOMPARE(listed.size(), lines);
        for (int i = 0; i < listed.size(); ++i) {
            if (listed[i] != HexListing::line(buffer, uint16_t(i * 16)))
                QFAIL(qPrintable(QStringLiteral("line %1 differs").arg(i)));
        }
    }

    void startUpBufferListsZeros()
    {
        MemoryBuffer buffer;
        const QStringList listed = HexListing::text(buffer, buffer.BufferEnd).split(QLatin1Char('\n'));
        QCOMPARE(listed.size(), 32);
        QCOMPARE(listed.first(), QStringLiteral("0000 : ") + QStringLiteral("00 ").repeated(16) + QStringLiteral("  ")
                                     + QString(16, QLatin1Char('.')));
        QVERIFY(listed.last().startsWith(QStringLiteral("01F0 : 00 ")));
    }
};

QTEST_GUILESS_MAIN(TestHexListing)
#include "tst_HexListing.moc"
