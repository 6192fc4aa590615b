// The window's log on a disk that fills: a device starts only when its
// record has room, on a real small tmpfs, against the emulated programmer.
#include "RunPresses.h"
#include "DeviceCatalogue.h"
#include "EmulatorReceived.h"
#include "JsonLines.h"
#include "ProgrammerEmulator.h"
#include "ScriptedPrompter.h"
#include "StoreFactory.h"
#include "TTarvoForm.h"
#include "WindowDriver.h"
#include "WindowOptions.h"
#include "WindowRunLog.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <unistd.h>

namespace {

bool run(const QStringList &arguments)
{
    QProcess p;
    p.start(arguments.first(), arguments.mid(1));
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Writes into filler until the disk takes no more, then gives back `leave`
// bytes (whole pages, as tmpfs counts them).
void fill(const QString &filler, qint64 leave = 0)
{
    QFile f(filler);
    if (!f.open(QIODevice::Append))
        return;
    const QByteArray block(4096, 'x');
    while (f.write(block) == block.size() && f.flush()) {
    }
    const QByteArray byte(1, 'x');
    while (f.write(byte) == 1 && f.flush()) {
    }
    f.close();
    if (leave > 0)
        f.resize(std::max<qint64>(0, f.size() - leave));
}

} // namespace

class TestWindowFullDisk : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgrammerEmulator> m_emu;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<TTarvoForm> m_form;
    QTemporaryDir m_dir;
    QString m_disk;

    // Arms Erase and presses Run up to `runs` times while the command stays
    // armed (a refusal leaves it), then Exit.
    void erase(int runs) { WindowDriver::pressRun(*m_form, &TTarvoForm::EraseDeviceClick, runs); }
    // The stores of `tarvo --log <disk>/window.jsonl`, as the window's main sets them up.
    StoreOptions logOption() const
    {
        const WindowOptions options = WindowOptions::parse({"tarvo", "--log", m_disk + QStringLiteral("/window.jsonl")});
        return options.stores;
    }
    QString successText() const { return m_form->findChild<QLabel *>(QStringLiteral("PassCount"))->text(); }

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        m_disk = m_dir.filePath(QStringLiteral("disk"));
        QVERIFY(QDir().mkdir(m_disk));
        if (!run({"mount", "-t", "tmpfs", "-o", "size=96k", "tmpfs", m_disk}))
            QSKIP("this system does not let a tmpfs be mounted here");
    }
    void cleanupTestCase()
    {
        if (!m_disk.isEmpty())
            run({"umount", m_disk});
    }
    void init()
    {
        m_emu = std::make_unique<ProgrammerEmulator>();
        QString error;
        QVERIFY2(m_emu->start(&error), qPrintable(error));
        qputenv("TARVO_COM1", m_emu->slavePath().toLocal8Bit());
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_form = std::make_unique<TTarvoForm>(*m_prompter);
        m_form->show();
        WindowDriver::chooseEntry(m_form->controls().SelectComPort, 0);
        QVERIFY(m_form->link().HardwareFound());
        // The detection ends with a CAN: on the line before anything else is compared.
        QVERIFY(EmulatorReceived::endsWith(*m_emu, 0x18));
        WindowDriver::chooseEntry(m_form->controls().SelectDevice, DeviceCatalogue::indexOf(QStringLiteral("AT89C2051")));
        m_prompter->clear();
    }
    void cleanup()
    {
        m_form.reset();
        m_emu.reset();
        qunsetenv("TARVO_COM1");
        for (const QString &name : QDir(m_disk).entryList(QDir::Files))
            QFile::remove(m_disk + QLatin1Char('/') + name);
    }

    // Less room than a record's reserve: the log is refused when the window
    // opens it, and Run starts nothing.
    void noRoomForTheRecordStartsNothing()
    {
        fill(m_disk + QStringLiteral("/filler"), 8192);
        const StoreOptions stores = logOption();
        QString error;
        WindowRunLog log(*m_form, StoreFactory::recordStore(stores, &error));
        const QString noSpace = stores.logFile + QStringLiteral(": No space left on device.");
        QVERIFY(!log.open());
        QCOMPARE(m_prompter->texts(), QStringList{noSpace});

        m_prompter->clear();
        const QByteArray before = m_emu->received();
        erase(3);
        QCOMPARE(m_prompter->texts(), QStringList{noSpace});
        QVERIFY(!m_form->runner().active());
        QCOMPARE(successText(), QStringLiteral("Success : 0"));
        // A byte handed to the port goes out within the event loop: give it time.
        QTest::qWait(300);
        QCOMPARE(m_emu->received(), before);
        QVERIFY(readJsonLines(stores.logFile).isEmpty());
    }

    // The disk fills while the line runs (two pages left): each device that
    // started has its record, and the first one whose record would have no
    // reserve left does not start.
    void diskFillingMidRunStopsBeforeTheDevice()
    {
        const StoreOptions stores = logOption();
        QString error;
        WindowRunLog log(*m_form, StoreFactory::recordStore(stores, &error));
        QVERIFY(log.open());
        erase(1);
        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(readJsonLines(stores.logFile).size(), 1);

        fill(m_disk + QStringLiteral("/filler"), 8192);
        const int frames = m_emu->frameCount();
        // Two pages hold a few records; far fewer than this.
        erase(200);
        QCOMPARE(m_prompter->texts(), QStringList{stores.logFile + QStringLiteral(": No space left on device.")});
        QVERIFY(!m_form->runner().active());
        QTest::qWait(300);
        const int started = m_emu->frameCount() - frames;
        qInfo("%d devices started on the last two pages", started);
        QVERIFY2(started >= 1 && started < 200, qPrintable(QString::number(started)));
        const QList<QJsonObject> records = readJsonLines(stores.logFile);
        QCOMPARE(records.size(), 1 + started);
        QCOMPARE(records.last().value(QStringLiteral("success")).toInt(), 1 + started);
        QCOMPARE(successText(), QStringLiteral("Success : %1").arg(1 + started));
    }
};

QTEST_MAIN(TestWindowFullDisk)
#include "tst_WindowFullDisk.moc"
