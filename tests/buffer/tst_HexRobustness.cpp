// The loader against input no tool would write: huge lines and files,
// garbage, NUL bytes, things that are not files.
#include "HexFileLoader.h"
#include "HexFileWriter.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Allowed growth of the peak memory while loading a file of 50 MB or more.
constexpr long MemorySlackKiB = 16 * 1024;

QByteArray image(const MemoryBuffer &buffer)
{
    return QByteArray(reinterpret_cast<const char *>(buffer.data()), MemoryBuffer::Size);
}

} // namespace

class TestHexRobustness : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    // First, so that no earlier test has raised the peak.
    void hundredMegabyteLineTakesNoMemory()
    {
        const QString file = path(QStringLiteral("longline.hex"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(":0100000011EE");
            const QByteArray filler(1024 * 1024, 'A');
            for (int i = 0; i < 100; ++i)
                QCOMPARE(f.write(filler), filler.size());
            f.write("\r\n:0100010022DC\r\n");
        }
        const long before = peakKiB();
        MemoryBuffer buffer;
        const HexFileLoader::Result r = HexFileLoader::loadFile(file, buffer);
        QVERIFY(peakKiB() - before < MemorySlackKiB);
        QFile::remove(file);
        QVERIFY(!r.formatError);
        QCOMPARE(r.damagedCount, 0);
        QCOMPARE(r.lines, 2);
        QCOMPARE(buffer.at(0), 0x11);
        QCOMPARE(buffer.at(1), 0x22);
        QCOMPARE(buffer.BufferEnd, 0x0001);
    }

    void millionRecords()
    {
        MemoryBuffer source;
        for (int a = 0; a < MemoryBuffer::Size; ++a)
            source.set(uint16_t(a), uint8_t(QRandomGenerator::global()->bounded(256)));
        QByteArray block = HexFileWriter::image(source, 0xFFFF);
        block.chop(int(strlen(HexFileWriter::EndRecord)));
        const QString file = path(QStringLiteral("million.hex"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            for (int i = 0; i < 256; ++i)
                QCOMPARE(f.write(block), block.size());
        }
        const long before = peakKiB();
        MemoryBuffer buffer;
        const HexFileLoader::Result r = HexFileLoader::loadFile(file, buffer);
        QVERIFY(peakKiB() - before < MemorySlackKiB);
        QFile::remove(file);
        QCOMPARE(r.lines, 256 * 4096);
        QCOMPARE(r.damagedCount, 0);
        QVERIFY(image(buffer) == image(source));
        QCOMPARE(buffer.BufferEnd, 0xFFFF);
    }

    // Whatever garbage was read, what ends in the buffer saves and loads
    // back unchanged.
    void garbageLoadsWithoutHarm_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QRandomGenerator random(20240601);
        QByteArray binary(1 << 20, Qt::Uninitialized);
        for (char &c : binary)
            c = char(random.bounded(256));
        QTest::newRow("binary") << binary;

        // Lines that start like records, with random characters from a
        // small alphabet so that many of them parse.
        const char alphabet[] = ":0123456789ABCDEFabcdefG \r\n\x1A\0";
        QByteArray records;
        for (int i = 0; i < 20000; ++i) {
            records += ':';
            const int length = int(random.bounded(60));
            for (int k = 0; k < length; ++k)
                records += alphabet[random.bounded(int(sizeof alphabet) - 2) + 1];
            records += "\r\n";
        }
        QTest::newRow("record-like") << records.replace("\x1A", "");
        QTest::newRow("NUL bytes") << QByteArray(1 << 20, '\0');
        QTest::newRow("CR only") << QByteArray(1 << 20, '\r');
        QTest::newRow("colons") << QByteArray(1 << 20, ':');
    }

    void garbageLoadsWithoutHarm()
    {
        QFETCH(QByteArray, bytes);
        MemoryBuffer buffer;
        const HexFileLoader::Result r = HexFileLoader::load(bytes, buffer);
        QVERIFY(r.opened && !r.readError);
        MemoryBuffer back;
        const HexFileLoader::Result again = HexFileLoader::load(HexFileWriter::image(buffer, 0xFFFF), back);
        QCOMPARE(again.damagedCount, 0);
        QVERIFY(!again.formatError);
        QVERIFY(image(back) == image(buffer));
    }

    void nulFileIsAFormatError()
    {
        MemoryBuffer buffer;
        const HexFileLoader::Result r = HexFileLoader::load(QByteArray(4096, '\0'), buffer);
        QVERIFY(r.formatError);
        QCOMPARE(r.formatErrorLine, 1);
    }

    void pipeIsNotOpenedAndDoesNotBlock()
    {
        const QString fifo = path(QStringLiteral("pipe.hex"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        MemoryBuffer buffer;
        QVERIFY(!HexFileLoader::loadFile(fifo, buffer).opened);
        QCOMPARE(buffer.at(0), 0x00);
    }
};

QTEST_GUILESS_MAIN(TestHexRobustness)
#include "tst_HexRobustness.moc"
