#include "ControlBytes.h"
#include "ProgrammerReply.h"

#include <QTest>

using Kind = ProgrammerReply::Kind;
using Step = ProgrammerReply::Step;

namespace {

// Feeds every byte and gives the step after each.
QList<Step> feedAll(ProgrammerReply &reply, const QByteArray &bytes)
{
    QList<Step> steps;
    for (char c : bytes)
        steps.append(reply.feed(uint8_t(c)));
    return steps;
}

// 64 bytes as the programmer sends them: hex pairs, then their sum.
QByteArray blockText(const QByteArray &data, int sumOffset = 0)
{
    uint8_t sum = 0;
    for (char c : data)
        sum = uint8_t(sum + uint8_t(c));
    return data.toHex().toUpper() + QByteArray(1, char(uint8_t(sum + sumOffset))).toHex();
}

} // namespace

// The programmer's replies taken byte by byte, without a port.
class TestProgrammerReply : public QObject
{
    Q_OBJECT
private slots:
    void detection_data()
    {
        QTest::addColumn<bool>("strict");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("taken");
        // 04062001: the characters add up to 8Dh.
        QTest::newRow("date, upper case") << false << QByteArray("040620018D") << int(Step::Complete) << 10;
        QTest::newRow("date, lower case") << true << QByteArray("040620018d") << int(Step::Complete) << 10;
        QTest::newRow("wrong sum") << false << QByteArray("040620018E") << int(Step::BadChecksum) << 10;
        QTest::newRow("cut short") << false << QByteArray("040620018") << int(Step::More) << 9;
        QTest::newRow("too long: the rest is not taken")
            << false << QByteArray("040620018DXYZ") << int(Step::Complete) << 10;
        // 8 characters of chatter whose sum is 03h: taken unless strict.
        QTest::newRow("chatter") << false << QByteArray("$GPGSA,A03") << int(Step::Complete) << 10;
        QTest::newRow("chatter, strict: refused with the eighth")
            << true << QByteArray("$GPGSA,A03") << int(Step::NotDigits) << 8;
        // A sum character that is no hex digit counts as 0: "0Z" reads 00h.
        QTest::newRow("odd sum characters")
            << false << QByteArray("\x80\x80\x80\x80\x80\x80\x80\x80" "0Z", 10) << int(Step::Complete) << 10;
    }
    void detection()
    {
        QFETCH(bool, strict);
        QFETCH(QByteArray, bytes);
        QFETCH(int, step);
        QFETCH(int, taken);
        ProgrammerReply reply(strict ? Kind::StrictDetection : Kind::Detection);
        const QList<Step> steps = feedAll(reply, bytes);
        QCOMPARE(int(reply.last()), step);
        QCOMPARE(reply.taken(), taken);
        QVERIFY(!steps.mid(0, taken - 1).contains(Step::Complete));
        if (bytes.startsWith("04062001") && step == int(Step::Complete))
            QCOMPARE(reply.firmwareDate(), QStringLiteral("04/06/2001"));
    }

    void hexByte_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("taken");
        QTest::addColumn<int>("value");
        QTest::newRow("3f") << QByteArray("3f") << int(Step::Complete) << 2 << 0x3F;
        QTest::newRow("FF and more") << QByteArray("FF00") << int(Step::Complete) << 2 << 0xFF;
        QTest::newRow("one character") << QByteArray("A") << int(Step::More) << 1 << 0;
        QTest::newRow("garbage first") << QByteArray("G0") << int(Step::NotHex) << 1 << 0;
        QTest::newRow("garbage second") << QByteArray("0\x06") << int(Step::NotHex) << 2 << 0;
        QTest::newRow("NUL") << QByteArray(2, '\0') << int(Step::NotHex) << 1 << 0;
    }
    void hexByte()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, step);
        QFETCH(int, taken);
        QFETCH(int, value);
        ProgrammerReply reply(Kind::HexByte);
        feedAll(reply, bytes);
        QCOMPARE(int(reply.last()), step);
        QCOMPARE(reply.taken(), taken);
        if (step == int(Step::Complete))
            QCOMPARE(int(reply.value()), value);
    }

    void readBlock()
    {
        QByteArray data;
        for (int i = 0; i < ProgrammerReply::BlockSize; ++i)
            data.append(char(0xFF - i * 3)); // the sum wraps many times
        ProgrammerReply reply(Kind::ReadBlock);
        const QList<Step> steps = feedAll(reply, blockText(data) + "00");
        QCOMPARE(reply.last(), Step::Complete);
        QCOMPARE(reply.taken(), 130);
        QCOMPARE(reply.data(), data);
        QCOMPARE(steps.count(Step::Byte), 64);
        // Each byte is reported as its second character arrives.
        for (int i = 0; i < 128; ++i)
            QCOMPARE(steps.at(i), i % 2 ? Step::Byte : Step::More);
    }

    void readBlockFailures()
    {
        const QByteArray data(ProgrammerReply::BlockSize, char(0x5A));
        {
            ProgrammerReply reply(Kind::ReadBlock);
            feedAll(reply, blockText(data, 1));
            QCOMPARE(reply.last(), Step::BadChecksum);
        }
        {
            // Garbage in the middle: the bytes before it stand, the rest is not taken.
            QByteArray text = blockText(data);
            text[21] = ':';
            ProgrammerReply reply(Kind::ReadBlock);
            feedAll(reply, text);
            QCOMPARE(reply.last(), Step::NotHex);
            QCOMPARE(reply.taken(), 22);
            QCOMPARE(reply.data().size(), 10);
        }
        {
            // Garbage in the sum.
            QByteArray text = blockText(data);
            text[129] = 'g';
            ProgrammerReply reply(Kind::ReadBlock);
            feedAll(reply, text);
            QCOMPARE(reply.last(), Step::NotHex);
            QCOMPARE(reply.data(), data);
        }
        {
            ProgrammerReply reply(Kind::ReadBlock);
            feedAll(reply, blockText(data).left(129));
            QCOMPARE(reply.last(), Step::More);
        }
    }

    void answers()
    {
        using Answer = ProgrammerReply::Answer;
        QCOMPARE(ProgrammerReply::answer(uint8_t(Ctl::ACK), Ctl::ACK), Answer::Expected);
        QCOMPARE(ProgrammerReply::answer(uint8_t(Ctl::DC1), Ctl::DC1), Answer::Expected);
        QCOMPARE(ProgrammerReply::answer(uint8_t(Ctl::NAK), Ctl::ACK), Answer::Nak);
        QCOMPARE(ProgrammerReply::answer(uint8_t(Ctl::ACK), Ctl::DC1), Answer::Other);
        QCOMPARE(ProgrammerReply::answer(0x86, Ctl::ACK), Answer::Other); // ACK with bit 7 set
    }
};

QTEST_GUILESS_MAIN(TestProgrammerReply)
#include "tst_programmerreply.moc"
