#include "DeviceCatalogue.h"
#include "HexFileActions.h"
#include "HexFileLoader.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace HexFileActions;
using Icon = Prompter::Icon;
using Answer = Prompter::Answer;

namespace {

SelectionState selected(const char *name)
{
    SelectionState s;
    s.SelectedDevice = DeviceCatalogue::row(DeviceCatalogue::indexOf(QString::fromLatin1(name)));
    s.DeviceSelected = true;
    return s;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Caps the size of any file this process writes, so a save fails part way.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

class TestHexFileActions : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ScriptedPrompter m_prompter;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString write(const QString &name, const QByteArray &content)
    {
        QFile f(path(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("cannot write test file");
        return f.fileName();
    }

private slots:
    void init() { m_prompter.clear(); }

    void bareName()
    {
        QCOMPARE(bareFileName(QStringLiteral("/home/op/work/prog.hex")), QStringLiteral("prog.hex"));
        // A backslash is a character of the name, never a folder's end.
        QCOMPARE(bareFileName(QStringLiteral("/tmp/a\\'b\\.hex")), QStringLiteral("a\\'b\\.hex"));
        QCOMPARE(bareFileName(QStringLiteral("prog.rom")), QStringLiteral("prog.rom"));
    }

    void unopenableFileChangesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << QStringLiteral("missing.hex");
        QTest::newRow("folder") << QStringLiteral("folder.hex");
        QTest::newRow("no read rights") << QStringLiteral("secret.hex");
    }

    void unopenableFileChangesNothing()
    {
        QFETCH(QString, name);
        if (name == QLatin1String("folder.hex"))
            QDir(m_dir.path()).mkdir(name);
        if (name == QLatin1String("secret.hex")) {
            if (geteuid() == 0)
                QSKIP("root reads a file without read rights");
            write(name, ":0100000011EE\r\n");
            QFile::setPermissions(path(name), QFileDevice::WriteOwner);
        }
        MemoryBuffer buffer;
        const OpenOutcome outcome = OpenHexFile(path(name), buffer, selected("AT89C2051"), m_prompter);
        QVERIFY(!outcome.opened);
        QVERIFY(!outcome.finished && !outcome.showBufferEnd && !outcome.enableBufferCommands);
        QCOMPARE(m_prompter.texts(), QStringList{Text::OpenError});
        QCOMPARE(m_prompter.shown[0].icon, Icon::Error);
        QCOMPARE(buffer.at(0), 0x00);
        QCOMPARE(buffer.BufferEnd, 511);
        QVERIFY(!buffer.FileLoaded);
    }

    void readErrorLeavesTheLoadUnfinished()
    {
        // Reading at offset 0 of the own address space fails with EIO.
        const QString mem = QStringLiteral("/proc/self/mem");
        QFile probe(mem);
        char c;
        if (!probe.open(QIODevice::ReadOnly) || probe.read(&c, 1) >= 0)
            QSKIP("no file here fails on reading");
        MemoryBuffer buffer;
        const OpenOutcome outcome = OpenHexFile(mem, buffer, selected("AT89C2051"), m_prompter);
        QVERIFY(outcome.opened);
        QVERIFY(!outcome.finished);
        QVERIFY(!outcome.enableBufferCommands);
        QVERIFY(outcome.bufferSumText.isEmpty());
        QCOMPARE(m_prompter.shown.size(), 1);
        QCOMPARE(m_prompter.shown[0].icon, Icon::Error);
        QVERIFY(!m_prompter.shown[0].text.isEmpty());
        QVERIFY(m_prompter.shown[0].text != Text::OpenError);
        QVERIFY(!buffer.FileLoaded);
        QCOMPARE(buffer.at(0), 0xFF);
    }

    void loadWithoutDevice()
    {
        MemoryBuffer buffer;
        const OpenOutcome outcome = OpenHexFile(write("a.hex", ":0300300002337A1E\r\n:00000001FF\r\n"), buffer,
                                                SelectionState{}, m_prompter);
        QVERIFY(m_prompter.shown.isEmpty());
        QVERIFY(outcome.finished && outcome.showBufferEnd);
        QCOMPARE(outcome.bufferEndText, QStringLiteral("0032H"));
        QVERIFY(!outcome.enableBufferCommands);
        // 48 x FF + 02 + 33 + 7A over 0..0032.
        QCOMPARE(outcome.bufferSumText, QStringLiteral("307FH"));
        QVERIFY(buffer.FileLoaded);
    }

    void loadWithNothingButTheEndRecord()
    {
        MemoryBuffer buffer;
        const OpenOutcome outcome = OpenHexFile(write("e.hex", ":00000001FF\r\n"), buffer, selected("AT89C2051"),
                                                m_prompter);
        QVERIFY(outcome.finished);
        QVERIFY(!outcome.showBufferEnd);
        QVERIFY(outcome.enableBufferCommands);
        QCOMPARE(outcome.bufferSumText, QStringLiteral("F800H"));
        QCOMPARE(buffer.BufferEnd, 511);
        QVERIFY(m_prompter.shown.isEmpty());
    }

    void fileLongerThanDeviceWarnsAndStillEnables()
    {
        MemoryBuffer buffer;
        const OpenOutcome outcome = OpenHexFile(write("long.hex", ":010FFF00559C\r\n"), buffer, selected("AT89C2051"),
                                                m_prompter);
        QCOMPARE(m_prompter.texts(), QStringList{Text::EndOverDevice});
        QCOMPARE(m_prompter.shown[0].icon, Icon::Warning);
        QVERIFY(outcome.enableBufferCommands);
        QCOMPARE(outcome.bufferEndText, QStringLiteral("0FFFH"));
        QCOMPARE(outcome.bufferSumText, QStringLiteral("F800H"));
    }

    void boxesComeInOrder()
    {
        MemoryBuffer buffer;
        const OpenOutcome outcome = OpenHexFile(write("bad.hex", ":0100010022\r\n"
                                                                 ":0100000011EE\r\n"
                                                                 ":010FFF0055AB\r\n"
                                                                 "garbage\r\n"
                                                                 ":0100020033CA\r\n"),
                                                buffer, selected("AT89C2051"), m_prompter);
        const QStringList expected{Text::FormatError, QStringLiteral("Checksum Or Format Error In 2 Lines, First In Line 1"),
                                   Text::EndOverDevice};
        QCOMPARE(m_prompter.texts(), expected);
        QCOMPARE(m_prompter.shown[0].icon, Icon::Error);
        QCOMPARE(m_prompter.shown[1].icon, Icon::Warning);
        QVERIFY(outcome.finished);
        QVERIFY(buffer.FileLoaded);
        QCOMPARE(outcome.bufferEndText, QStringLiteral("0FFFH"));
        QCOMPARE(buffer.at(1), 0x22);
        QCOMPARE(buffer.at(2), 0xFF);
        QCOMPARE(Text::damagedRecords(7, 1), QStringLiteral("Checksum Or Format Error In Line 7"));
        QCOMPARE(Text::damagedRecords(12, 3), QStringLiteral("Checksum Or Format Error In 3 Lines, First In Line 12"));
    }

    void saveWritesExactRecords()
    {
        MemoryBuffer buffer;
        buffer.fill(0xFF);
        for (int k = 0; k < 16; ++k)
            buffer.set(uint16_t(0x10 + k), uint8_t(k));
        QVERIFY(SaveHexFile(path("out.hex"), buffer, selected("AT89C2051"), m_prompter));
        QVERIFY(m_prompter.shown.isEmpty());
        const QList<QByteArray> lines = readAll(path("out.hex")).split('\n');
        QCOMPARE(lines.size(), 128 + 1 + 1);
        QCOMPARE(lines[0], ":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r");
        QCOMPARE(lines[1], ":10001000000102030405060708090A0B0C0D0E0F68\r");
        QVERIFY(lines[127].startsWith(":1007F000"));
        QCOMPARE(lines[128], ":00000001FF\r");
        QCOMPARE(lines[129], "");
    }

    void saveRangeWithoutDevice_data()
    {
        QTest::addColumn<int>("bufferEnd");
        QTest::addColumn<bool>("refusedDevice");
        QTest::addColumn<int>("records");
        QTest::newRow("start-up") << 0x01FF << false << 32;
        QTest::newRow("end at 0010 keeps that byte") << 0x0010 << false << 2;
        QTest::newRow("end 0000") << 0x0000 << false << 1;
        QTest::newRow("whole buffer") << 0xFFFF << false << 4096;
        QTest::newRow("refused device still counts") << 0x0010 << true << 128;
    }

    void saveRangeWithoutDevice()
    {
        QFETCH(int, bufferEnd);
        QFETCH(bool, refusedDevice);
        QFETCH(int, records);
        MemoryBuffer buffer;
        buffer.BufferEnd = uint16_t(bufferEnd);
        SelectionState selection;
        if (refusedDevice) {
            selection = selected("AT89C2051");
            selection.DeviceSelected = false;
        }
        const QString file = path(QStringLiteral("range-%1.hex").arg(QLatin1String(QTest::currentDataTag())));
        QVERIFY(SaveHexFile(file, buffer, selection, m_prompter));
        QCOMPARE(readAll(file).count('\n'), records + 1);
    }

    void savedFileLoadsBack()
    {
        MemoryBuffer buffer;
        for (int a = 0; a < MemoryBuffer::Size; ++a)
            buffer.set(uint16_t(a), uint8_t(QRandomGenerator::global()->bounded(256)));
        QVERIFY(SaveHexFile(path("round.hex"), buffer, selected("AT89C55"), m_prompter));
        MemoryBuffer back;
        const HexFileLoader::Result r = HexFileLoader::loadFile(path("round.hex"), back);
        QCOMPARE(r.damagedCount, 0);
        QVERIFY(!r.formatError);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(back.data()), 0x5000),
                 QByteArray(reinterpret_cast<const char *>(buffer.data()), 0x5000));
        QCOMPARE(back.at(0x5000), 0xFF);
        QCOMPARE(back.BufferEnd, 0x4FFF);
    }

    void overwriteNeedsYes()
    {
        const QString file = write("old.hex", "old content");
        MemoryBuffer buffer;
        m_prompter.queue(Answer::No);
        QVERIFY(!SaveHexFile(file, buffer, selected("AT89C2051"), m_prompter));
        QCOMPARE(m_prompter.texts(), QStringList{Text::Overwrite});
        QCOMPARE(m_prompter.shown[0].icon, Icon::Question);
        QCOMPARE(m_prompter.shown[0].buttons, Prompter::Buttons::YesNo);
        QCOMPARE(readAll(file), "old content");

        m_prompter.queue(Answer::Yes);
        QVERIFY(SaveHexFile(file, buffer, selected("AT89C2051"), m_prompter));
        QVERIFY(readAll(file).startsWith(":1000000000000000000000000000000000000000F0\r\n"));
    }

    void cancelledDialogWritesNothing()
    {
        MemoryBuffer buffer;
        QVERIFY(!SaveHexFile(QString(), buffer, SelectionState{}, m_prompter));
        QVERIFY(m_prompter.shown.isEmpty());
    }

    void failedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("keep.hex"));
        QVERIFY(writeFile(file, "precious"));
        MemoryBuffer buffer;
        m_prompter.defaultAnswer = Answer::Yes;
        bool saved;
        {
            FileSizeLimit limit(4096);
            saved = SaveHexFile(file, buffer, selected("AT89C55"), m_prompter);
        }
        m_prompter.defaultAnswer = Answer::No;
        QVERIFY(!saved);
        QCOMPARE(m_prompter.shown.size(), 2);
        QCOMPARE(m_prompter.shown[1].icon, Icon::Error);
        QCOMPARE(m_prompter.shown[1].text, QStringLiteral("File too large"));
        QCOMPARE(readAll(file), "precious");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("keep.hex")});
    }

    // A device is written into, not replaced by a plain file.
    void fullDeviceShowsTheSystemText()
    {
        const QString full = QStringLiteral("/dev/full");
        MemoryBuffer buffer;
        m_prompter.queue(Answer::Yes);
        QVERIFY(!SaveHexFile(full, buffer, selected("AT89C2051"), m_prompter));
        QCOMPARE(m_prompter.texts(), (QStringList{Text::Overwrite, QStringLiteral("No space left on device")}));
        QVERIFY(!QFileInfo(full).isFile());
    }

    void uncreatableFileShowsTheReason()
    {
        MemoryBuffer buffer;
        QVERIFY(!SaveHexFile(path("no/such/folder.hex"), buffer, SelectionState{}, m_prompter));
        QCOMPARE(m_prompter.shown.size(), 1);
        QCOMPARE(m_prompter.shown[0].icon, Icon::Error);
        QVERIFY(!m_prompter.shown[0].text.isEmpty());
    }

    void readOnlyFolderKeepsTheOldFile()
    {
        if (geteuid() == 0)
            QSKIP("root writes into a read-only folder");
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("keep.hex"));
        QVERIFY(writeFile(file, "precious"));
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        MemoryBuffer buffer;
        m_prompter.queue(Answer::Yes);
        const bool saved = SaveHexFile(file, buffer, SelectionState{}, m_prompter);
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!saved);
        QCOMPARE(m_prompter.shown.last().icon, Icon::Error);
        QCOMPARE(readAll(file), "precious");
    }
};

QTEST_GUILESS_MAIN(TestHexFileActions)
#include "tst_HexFileActions.moc"
