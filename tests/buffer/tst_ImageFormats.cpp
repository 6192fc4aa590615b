// Every image format read against its Intel HEX twin, the twins made by
// independent tools (srec_cat from srecord, objcopy, avr-objcopy, avr-ld and
// avr-as from binutils), and damaged files refused with their line or
// offset.
#include "HexFileLoader.h"
#include "ImageFileLoader.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Kind = ImageFileLoader::Kind;

// Runs a tool to its end (bounded); the test fails with its errors if it fails.
bool tool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << program << args << p.readAllStandardError();
        return false;
    }
    return true;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray bytesOf(const MemoryBuffer &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), MemoryBuffer::Size);
}

QString hexExample(const QString &name)
{
    return QStringLiteral(EXAMPLES_DIR "/") + name;
}

} // namespace

class TestImageFormats : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The twin of hex in the given form, made by the tools.
    QString twin(const QString &hex, const QString &form)
    {
        const QString out = path(QFileInfo(hex).completeBaseName() + QLatin1Char('.') + form);
        const QString s = QStringLiteral("srec_cat");
        const QStringList in{hex, QStringLiteral("-intel")};
        bool made = false;
        if (form == QLatin1String("s19"))
            made = tool(s, in + QStringList{"-o", out, "-motorola"});
        else if (form == QLatin1String("s28"))
            made = tool(s, in + QStringList{"-o", out, "-motorola", "-address-length=3"});
        else if (form == QLatin1String("s37"))
            made = tool(s, in + QStringList{"-o", out, "-motorola", "-address-length=4"});
        else if (form == QLatin1String("objcopy.srec"))
            made = tool(QStringLiteral("objcopy"), {"-I", "ihex", "-O", "srec", hex, out});
        else if (form == QLatin1String("bin"))
            // Gaps filled with FFh, as the buffer holds them.
            made = tool(s, in + QStringList{"-fill", "0xFF", "-over", hex, "-intel", "-o", out, "-binary"});
        else if (form == QLatin1String("sections.elf"))
            made = tool(QStringLiteral("objcopy"), {"-I", "ihex", "-O", "elf32-little", hex, out});
        else if (form == QLatin1String("avr-sections.elf"))
            made = tool(QStringLiteral("avr-objcopy"), {"-I", "ihex", "-O", "elf32-avr", hex, out});
        else if (form == QLatin1String("avr-segments.elf")) {
            // Linked: program headers with loadable segments.
            const QString object = out + QStringLiteral(".o");
            made = tool(QStringLiteral("avr-objcopy"), {"-I", "ihex", "-O", "elf32-avr", hex, object})
                   && tool(QStringLiteral("avr-ld"), {"-o", out, "--section-start=.sec1=0", object});
        }
        return made ? out : QString();
    }

private slots:
    void initTestCase()
    {
        for (const char *program : {"srec_cat", "objcopy", "avr-objcopy", "avr-ld", "avr-as"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                QFAIL(qPrintable(QStringLiteral("%1 is missing (Debian packages srecord, binutils, binutils-avr)")
                                     .arg(QString::fromLatin1(program))));
        QVERIFY(m_dir.isValid());
    }

    void eachFormEqualsItsHexTwin_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("form");
        QTest::addColumn<int>("kind");
        const QStringList examples{QStringLiteral("blink-8051/blink.hex"), QStringLiteral("blink-avr/blink.hex"),
                                   QStringLiteral("romcheck-at89c55/romcheck.hex")};
        const QList<QPair<QString, Kind>> forms{
            {QStringLiteral("s19"), Kind::SRecord},          {QStringLiteral("s28"), Kind::SRecord},
            {QStringLiteral("s37"), Kind::SRecord},          {QStringLiteral("objcopy.srec"), Kind::SRecord},
            {QStringLiteral("bin"), Kind::Binary},           {QStringLiteral("sections.elf"), Kind::Elf},
            {QStringLiteral("avr-sections.elf"), Kind::Elf}, {QStringLiteral("avr-segments.elf"), Kind::Elf},
        };
        for (const QString &example : examples)
            for (const auto &[form, kind] : forms)
                QTest::newRow(qPrintable(example + QLatin1Char(' ') + form))
                    << hexExample(example) << form << int(kind);
    }

    void eachFormEqualsItsHexTwin()
    {
        QFETCH(QString, hex);
        QFETCH(QString, form);
        QFETCH(int, kind);
        MemoryBuffer expected;
        const HexFileLoader::Result h = HexFileLoader::loadFile(hex, expected);
        QVERIFY(h.dataStored && !h.formatError && h.damagedCount == 0);

        const QString file = twin(hex, form);
        QVERIFY(!file.isEmpty());
        MemoryBuffer got;
        got.BufferEnd = 0; // must be set by the load
        const std::optional<uint32_t> offset = Kind(kind) == Kind::Binary ? std::optional<uint32_t>(0) : std::nullopt;
        const ImageFileLoader::Result r = ImageFileLoader::loadFile(file, got, offset);
        QVERIFY2(r.ok(), qPrintable(r.openError + r.read.error));
        QCOMPARE(int(r.kind), kind);
        QCOMPARE(got.BufferEnd, expected.BufferEnd);
        QVERIFY(bytesOf(got) == bytesOf(expected));
    }

    // A raw binary stored from an offset equals the HEX file the tool moved
    // there.
    void binaryAtAnOffset()
    {
        const QString hex = hexExample(QStringLiteral("blink-avr/blink.hex"));
        const QString moved = path(QStringLiteral("moved.hex"));
        QVERIFY(tool(QStringLiteral("srec_cat"), {hex, "-intel", "-offset", "0x1F00", "-o", moved, "-intel"}));
        MemoryBuffer expected, got;
        QVERIFY(HexFileLoader::loadFile(moved, expected).dataStored);
        const ImageFileLoader::Result r = ImageFileLoader::loadFile(twin(hex, QStringLiteral("bin")), got, 0x1F00);
        QVERIFY2(r.ok(), qPrintable(r.read.error));
        QCOMPARE(got.BufferEnd, expected.BufferEnd);
        QVERIFY(bytesOf(got) == bytesOf(expected));
    }

    // AVR files carry EEPROM and fuse contents far above flash: they are
    // left out, and flash still loads.
    void avrEepromLeftOut()
    {
        const QString hex = hexExample(QStringLiteral("blink-avr/blink.hex"));
        const QString eeprom = path(QStringLiteral("eeprom.bin"));
        QVERIFY(writeAll(eeprom, QByteArray(16, '\x55')));
        const QString elf = path(QStringLiteral("with-eeprom.elf"));
        QVERIFY(tool(QStringLiteral("avr-objcopy"),
                     {"-I", "ihex", "-O", "elf32-avr", "--add-section", ".eeprom=" + eeprom, "--set-section-flags",
                      ".eeprom=alloc,load,contents", "--change-section-address", ".eeprom=0x810000", hex, elf}));
        MemoryBuffer expected, got;
        HexFileLoader::loadFile(hex, expected);
        const ImageFileLoader::Result r = ImageFileLoader::loadFile(elf, got);
        QVERIFY2(r.ok(), qPrintable(r.read.error));
        QCOMPARE(got.BufferEnd, expected.BufferEnd);
        QVERIFY(bytesOf(got) == bytesOf(expected));
    }

    void damagedFilesRefusedWhere_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        const QByteArray s19 = readAll(twin(hexExample(QStringLiteral("blink-8051/blink.hex")), QStringLiteral("s19")));
        QVERIFY(s19.count('\n') >= 4);
        QByteArray wrongSum = s19;
        const qsizetype third = wrongSum.indexOf('\n', wrongSum.indexOf('\n') + 1) + 1;
        wrongSum[third + 12] = wrongSum[third + 12] == '0' ? '1' : '0';
        QTest::newRow("S-record checksum") << wrongSum << QStringLiteral("line 3: wrong checksum");
        QTest::newRow("S-record cut in a record") << s19.left(third + 20) << QStringLiteral("line 3: the count says");
        QTest::newRow("S-record bad character") << QByteArray("S1050000zz00FA\n")
                                                << QStringLiteral("line 1: character 9 is not a hex digit");
        QTest::newRow("S2 beyond 64 KiB") << QByteArray("S0030000FC\nS2060100000102F5\n")
                                          << QStringLiteral("line 2: data at 10000H lies beyond");
        QTest::newRow("S1 reaching past FFFFH") << QByteArray("S105FFFF0102F9\n")
                                               << QStringLiteral("line 1: data at FFFFH lies beyond");
        QTest::newRow("count record disagrees") << QByteArray("S10500000102F7\nS5030002FA\n")
                                                << QStringLiteral("line 2: the count record says 2 data records, the file has 1");
        QTest::newRow("record after the end") << QByteArray("S9030000FC\n\nS10500000102F7\n")
                                              << QStringLiteral("line 3: a record after the end record in line 1");
        QTest::newRow("S4") << QByteArray("S4030000FC\n") << QStringLiteral("line 1: S4 is no record type");
        QTest::newRow("Intel HEX checksum")
            << QByteArray(":0100000000FE\n:00000001FF\n") << QStringLiteral("line 1: wrong checksum or format");
        QTest::newRow("Intel HEX stray line")
            << QByteArray(":0100000000FF\nhello\n") << QStringLiteral("line 2: not a record");
        QTest::newRow("unknown content") << QByteArray("hello\n")
                                         << QStringLiteral("offset 0: neither Intel HEX nor an S-record nor an ELF file");
        QTest::newRow("ELF magic only") << QByteArray("\x7F" "ELF", 4) << QStringLiteral("offset 0: ");
    }

    void damagedFilesRefusedWhere()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        MemoryBuffer b;
        const ImageFileLoader::Result r = ImageFileLoader::load(content, b);
        QVERIFY(!r.ok());
        QVERIFY2(r.read.error.startsWith(error), qPrintable(r.read.error));
    }

    void damagedElfRefusedWithOffset()
    {
        const QString hex = hexExample(QStringLiteral("romcheck-at89c55/romcheck.hex"));
        const QByteArray linked = readAll(twin(hexExample(QStringLiteral("blink-avr/blink.hex")), "avr-segments.elf"));
        QVERIFY(!linked.isEmpty());
        MemoryBuffer b;

        // Cut inside the segment's bytes: the offset of its program header
        // (the second, 52 + 32) is named.
        ImageFileLoader::Result r = ImageFileLoader::load(linked.left(0x80), b);
        QVERIFY(!r.ok());
        QVERIFY2(r.read.error.startsWith(QLatin1String("offset 0x54: segment 1 reaches past the end of the file")),
                 qPrintable(r.read.error));

        // A 8051 image moved above 64 KiB.
        const QString high = path(QStringLiteral("high.elf"));
        QVERIFY(tool(QStringLiteral("objcopy"),
                     {"-I", "ihex", "-O", "elf32-little", "--change-addresses", "0x10000", hex, high}));
        r = ImageFileLoader::loadFile(high, b);
        QVERIFY(!r.ok());
        QVERIFY2(r.read.error.contains(QLatin1String("at 10000H lies beyond the 64 KiB buffer")), qPrintable(r.read.error));
        QVERIFY(r.read.error.startsWith(QLatin1String("offset 0x")));

        // An object not linked yet: its call still points nowhere.
        const QString source = path(QStringLiteral("call.s"));
        const QString object = path(QStringLiteral("call.o"));
        QVERIFY(writeAll(source, "rcall elsewhere\n"));
        QVERIFY(tool(QStringLiteral("avr-as"), {"-o", object, source}));
        r = ImageFileLoader::loadFile(object, b);
        QVERIFY(!r.ok());
        QVERIFY2(r.read.error.contains(QLatin1String("relocations")), qPrintable(r.read.error));

        // An ELF file is never read as a raw binary.
        r = ImageFileLoader::load(linked, b, 0);
        QCOMPARE(r.read.error, QStringLiteral("offset 0: an ELF file, not a raw binary"));
    }

    void binaryLimits()
    {
        MemoryBuffer b;
        QVERIFY(ImageFileLoader::load(QByteArray(0x100, 'x'), b, 0xFF00).ok());
        QCOMPARE(b.BufferEnd, 0xFFFF);
        ImageFileLoader::Result r = ImageFileLoader::load(QByteArray(0x101, 'x'), b, 0xFF00);
        QVERIFY2(r.read.error.startsWith(QLatin1String("offset 256: from FF00H on")), qPrintable(r.read.error));
        r = ImageFileLoader::load(QByteArray(), b, 0);
        QVERIFY(!r.ok());
        QVERIFY(!ImageFileLoader::load(QByteArray(1, 'x'), b, 0x10000).ok());
    }

    void unreadableFiles()
    {
        MemoryBuffer b;
        QVERIFY(!ImageFileLoader::loadFile(path(QStringLiteral("missing.hex")), b).opened);
        QVERIFY(!ImageFileLoader::loadFile(m_dir.path(), b).opened);
        // Blank lines before the first record do not hide the kind.
        QCOMPARE(ImageFileLoader::recognise("\r\n\n  S1050000010279"), Kind::SRecord);
        QCOMPARE(ImageFileLoader::recognise("\n:00000001FF"), Kind::IntelHex);
    }
};

QTEST_GUILESS_MAIN(TestImageFormats)
#include "tst_ImageFormats.moc"
