#include "HexText.h"

#include <QTest>

using namespace HexText;

class TestHexText : public QObject
{
    Q_OBJECT
private slots:
    void hexDigits()
    {
        for (char c : QByteArray("0123456789ABCDEFabcdef"))
            QVERIFY2(HEX(c), &c);
        for (char c : QByteArray("Gg/:@`xX \x01\xff"))
            QVERIFY(!HEX(c));
        QVERIFY(!HEX(QChar(0x0E51))); // a Thai digit is no hex digit
    }

    void toText()
    {
        QCOMPARE(HexByteToStr2(0), QStringLiteral("00"));
        QCOMPARE(HexByteToStr2(0x3A), QStringLiteral("3A"));
        QCOMPARE(HexByteToStr2(0xFF), QStringLiteral("FF"));
        QCOMPARE(HexWordToStr4(1023), QStringLiteral("03FF"));
        QCOMPARE(HexWordToStr4(0xABCD), QStringLiteral("ABCD"));
        QCOMPARE(HexWordToStr4(0), QStringLiteral("0000"));
    }

    void str2ToByte_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("G1") << "G1" << 0x01;
        QTest::newRow("1G") << "1G" << 0x10;
        QTest::newRow("ff") << "ff" << 0xFF;
        QTest::newRow("mixed case") << "aF" << 0xAF;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("one char") << "7" << 0x70;
        QTest::newRow("extra ignored") << "12FF" << 0x12;
    }
    void str2ToByte()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(int(HexStr2ToByte(text)), value);
        const QByteArray latin = text.toLatin1();
        QCOMPARE(int(HexStr2ToByte(latin.constData(), int(latin.size()))), value);
    }

    void str4ToWord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("03FF") << "03FF" << 0x03FF;
        QTest::newRow("03fF") << "03fF" << 0x03FF;
        QTest::newRow("short drops right") << "3FF" << 0x3FF0;
        QTest::newRow("bad digit resets") << "12G4" << 0x1200;
        QTest::newRow("bad first") << "G123" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("extra ignored") << "4FFF03" << 0x4FFF;
        QTest::newRow("max") << "ffff" << 0xFFFF;
    }
    void str4ToWord()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(int(HexStr4ToWord(text)), value);
        const QByteArray latin = text.toLatin1();
        QCOMPARE(int(HexStr4ToWord(latin.constData(), int(latin.size()))), value);
    }
};

QTEST_GUILESS_MAIN(TestHexText)
#include "tst_hextext.moc"
