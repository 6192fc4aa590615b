// Our loader and writer checked against an independent Intel HEX reader and
// writer (srec_cat and srec_info from Debian's srecord).
#include "DeviceCatalogue.h"
#include "HexFileActions.h"
#include "HexFileLoader.h"
#include "ScriptedPrompter.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray errors;
};

Run run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.errors = p.readAllStandardError();
    return r;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray image(const MemoryBuffer &buffer, int size = MemoryBuffer::Size)
{
    return QByteArray(reinterpret_cast<const char *>(buffer.data()), size);
}

} // namespace

class TestHexSrecOracle : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The file as a 64 KiB image with FFh where it has no data.
    QByteArray srecImage(const QString &hex)
    {
        const QString bin = hex + QStringLiteral(".bin");
        const Run r = run(QStringLiteral("srec_cat"), {hex, QStringLiteral("-intel"), QStringLiteral("-fill"),
                                                       QStringLiteral("0xFF"), QStringLiteral("0x0000"),
                                                       QStringLiteral("0x10000"), QStringLiteral("-o"), bin,
                                                       QStringLiteral("-binary")});
        if (r.exitCode != 0)
            qWarning() << "srec_cat:" << r.errors;
        return readAll(bin);
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("srec_cat")).isEmpty())
            QFAIL("srec_cat is missing (Debian package srecord)");
    }

    void loadsFilesOfAnotherTool_data()
    {
        QTest::addColumn<QString>("generate");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("bufferEnd");
        QTest::newRow("random, 16-byte records")
            << "-generate 0x0000 0x0800 -random" << "-obs=16" << 0x07FF;
        QTest::newRow("gaps, 32-byte records")
            << "-generate 0x0000 0x0100 -random -generate 0x0400 0x0433 -random -generate 0x7FF0 0x8011 -random"
            << "-obs=32" << 0x8010;
        QTest::newRow("top of memory, odd lengths")
            << "-generate 0x0003 0x0007 -random -generate 0x1235 0x1300 -random -generate 0xFFC1 0x10000 -random"
            << "-line-length=27" << 0xFFFF;
        QTest::newRow("whole buffer, 255-byte records") << "-generate 0x0000 0x10000 -random" << "-obs=255" << 0xFFFF;
        QTest::newRow("no address records") << "-generate 0x0100 0x0200 -random" << "-address-length=2" << 0x01FF;
        QTest::newRow("segment records")
            << "-generate 0x0000 0x0040 -random -generate 0xFFE0 0x10000 -random" << "-address-length=3" << 0xFFFF;
        QTest::newRow("start address, CR LF")
            << "-generate 0x2000 0x2100 -random -execution-start-address 0x2000" << "-crlf" << 0x20FF;
    }

    void loadsFilesOfAnotherTool()
    {
        QFETCH(QString, generate);
        QFETCH(QString, format);
        QFETCH(int, bufferEnd);
        const QString hex = path(QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'))
                                 + QStringLiteral(".hex"));
        QStringList args = generate.split(QLatin1Char(' '));
        args << QStringLiteral("-o") << hex << QStringLiteral("-intel") << format.split(QLatin1Char(' '));
        const Run made = run(QStringLiteral("srec_cat"), args);
        QVERIFY2(made.exitCode == 0, made.errors.constData());

        MemoryBuffer buffer;
        const HexFileLoader::Result r = HexFileLoader::loadFile(hex, buffer);
        QVERIFY(!r.formatError);
        QCOMPARE(r.damagedCount, 0);
        QCOMPARE(int(buffer.BufferEnd), bufferEnd);
        const QByteArray expected = srecImage(hex);
        QCOMPARE(expected.size(), MemoryBuffer::Size);
        QVERIFY(image(buffer) == expected);
    }

    void savedFilesAreValidForAnotherTool_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("size");
        QTest::newRow("no device, whole buffer") << QString() << MemoryBuffer::Size;
        QTest::newRow("AT89C2051") << QStringLiteral("AT89C2051") << 0x0800;
        QTest::newRow("AT89C55") << QStringLiteral("AT89C55") << 0x5000;
    }

    void savedFilesAreValidForAnotherTool()
    {
        QFETCH(QString, device);
        QFETCH(int, size);
        const QString source = path(QStringLiteral("source-%1.hex").arg(device));
        QCOMPARE(run(QStringLiteral("srec_cat"), {QStringLiteral("-generate"), QStringLiteral("0x0000"),
                                                  QStringLiteral("0x10000"), QStringLiteral("-random"),
                                                  QStringLiteral("-o"), source, QStringLiteral("-intel")})
                     .exitCode,
                 0);
        MemoryBuffer buffer;
        HexFileLoader::loadFile(source, buffer);
        QCOMPARE(buffer.BufferEnd, 0xFFFF);

        SelectionState selection;
        if (!device.isEmpty()) {
            selection.SelectedDevice = DeviceCatalogue::row(DeviceCatalogue::indexOf(device));
            selection.DeviceSelected = true;
        }
        const QString saved = path(QStringLiteral("saved-%1.hex").arg(device));
        ScriptedPrompter prompter;
        QVERIFY(HexFileActions::SaveHexFile(saved, buffer, selection, prompter));

        const Run info = run(QStringLiteral("srec_info"), {saved, QStringLiteral("-intel")});
        QCOMPARE(info.exitCode, 0);
        QCOMPARE(info.errors, QByteArray());

        const QString bin = saved + QStringLiteral(".bin");
        QCOMPARE(run(QStringLiteral("srec_cat"), {saved, QStringLiteral("-intel"), QStringLiteral("-o"), bin,
                                                  QStringLiteral("-binary")})
                     .exitCode,
                 0);
        QVERIFY(readAll(bin) == image(buffer, size));
    }
};

QTEST_GUILESS_MAIN(TestHexSrecOracle)
#include "tst_HexSrecOracle.moc"
