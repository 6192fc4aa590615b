// The window's production log: a record of every run of every Device
// command, through the real window against the emulated programmer.
#include "RunPresses.h"
#include "BenchBoard.h"
#include "DeviceCatalogue.h"
#include "EmulatorFault.h"
#include "JsonLines.h"
#include "DatabaseLocation.h"
#include "DeviceRecord.h"
#include "LogFileStore.h"
#include "ProductionDatabase.h"
#include "ProgramDialogs.h"
#include "RadioGroup.h"
#include "TFuseForm.h"
#include "ProgrammerEmulator.h"
#include "ScriptedPrompter.h"
#include "SqlRecordStore.h"
#include "StoreFactory.h"
#include "TTarvoForm.h"
#include "WindowDriver.h"
#include "WindowOptions.h"
#include "WindowRunLog.h"

#include <QDir>
#include <QAbstractButton>
#include <QJsonArray>
#include <QPushButton>
#include <QRadioButton>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTimer>

class TestWindowRunLog : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgrammerEmulator> m_emu;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<TTarvoForm> m_form;
    QTemporaryDir m_dir;

    QString logPath() const { return m_dir.filePath(QStringLiteral("window.jsonl")); }
    QList<QJsonObject> records() const { return readJsonLines(logPath()); }
private slots:
    void init()
    {
        m_emu = std::make_unique<ProgrammerEmulator>();
        m_emu->setSocketDevice(QStringLiteral("AT89C2051"));
        QString error;
        QVERIFY2(m_emu->start(&error), qPrintable(error));
        qputenv("TARVO_COM1", m_emu->slavePath().toLocal8Bit());
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_form = std::make_unique<TTarvoForm>(*m_prompter);
        m_form->show();
        WindowDriver::chooseEntry(m_form->controls().SelectComPort, 0);
        QVERIFY(m_form->link().HardwareFound());
        WindowDriver::chooseEntry(m_form->controls().SelectDevice, DeviceCatalogue::indexOf(QStringLiteral("AT89C2051")));
    }
    void cleanup()
    {
        m_form.reset();
        m_emu.reset();
        qunsetenv("TARVO_COM1");
        QFile::remove(logPath());
    }

    void logFileFromArgumentsOrEnvironment()
    {
        const auto logFile = [](const QStringList &arguments) {
            const WindowOptions options = WindowOptions::parse(arguments);
            return options.error.isEmpty() ? options.stores.logFile : QStringLiteral("error: ") + options.error;
        };
        qputenv("TARVO_LOG", "env.csv");
        QCOMPARE(logFile({"tarvo", "--log", "a.csv"}), QStringLiteral("a.csv"));
        QCOMPARE(logFile({"tarvo", "--log=b.jsonl"}), QStringLiteral("b.jsonl"));
        QCOMPARE(logFile({"tarvo"}), QStringLiteral("env.csv"));
        // What the window does not know is left alone, before or after.
        QCOMPARE(logFile({"tarvo", "-x", "--other", "--log", "a.csv", "file.hex"}), QStringLiteral("a.csv"));
        qunsetenv("TARVO_LOG");
        QCOMPARE(logFile({"tarvo"}), QString());
        // An option without its value is refused rather than read as none.
        QCOMPARE(logFile({"tarvo", "--log"}), QStringLiteral("error: Missing value after '--log'."));
        QCOMPARE(logFile({"tarvo", "--other", "--db"}), QStringLiteral("error: Missing value after '--db'."));
    }

    // The toolkit's own single-dash words hold an h (-stylesheet,
    // -platformtheme): read as letters they would print the help instead of
    // opening the window.
    void toolkitOptionsOpenTheWindow()
    {
        for (const QStringList &line : {QStringList{"tarvo", "-platform", "offscreen"},
                                        QStringList{"tarvo", "-stylesheet", "a.qss", "--keep-run-focus"},
                                        QStringList{"tarvo", "-platformtheme", "gtk3"}}) {
            const WindowOptions options = WindowOptions::parse(line);
            QVERIFY2(options.printOnly.isEmpty(), qPrintable(line.join(' ')));
            QVERIFY(options.error.isEmpty());
        }
        QVERIFY(WindowOptions::parse({"tarvo", "-stylesheet", "a.qss", "--keep-run-focus"}).keepRunFocus);
        QVERIFY(WindowOptions::parse({"tarvo", "-h"}).printOnly.contains(QLatin1String("--keep-run-focus")));
        QVERIFY(WindowOptions::parse({"tarvo", "--version"}).printOnly.startsWith(QLatin1String("tarvo ")));
        // The production bench's variable, as the option.
        QVERIFY(!WindowOptions::parse({"tarvo"}).keepRunFocus);
        qputenv("TARVO_KEEP_RUN_FOCUS", "1");
        QVERIFY(WindowOptions::parse({"tarvo"}).keepRunFocus);
        qputenv("TARVO_KEEP_RUN_FOCUS", "0");
        QVERIFY(!WindowOptions::parse({"tarvo"}).keepRunFocus);
        qunsetenv("TARVO_KEEP_RUN_FOCUS");
    }

    // Each run is a record: two passes in one arming, then a failure.
    void everyRunIsRecorded()
    {
        WindowRunLog log(*m_form, std::make_unique<LogFileStore>(logPath()));
        QVERIFY(log.open());
        // The record names the device the port opened, not what Com1 maps
        // to by the time the run ends.
        qputenv("TARVO_COM1", "/dev/tarvo-other");
        WindowDriver::pressRun(*m_form, &TTarvoForm::EraseDeviceClick, 2);
        m_emu->addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Nak).forCommand(0x0A));
        WindowDriver::pressRun(*m_form, &TTarvoForm::BlankDeviceClick, 1);
        QCOMPARE(m_prompter->texts(), QStringList());

        const QList<QJsonObject> r = records();
        QCOMPARE(r.size(), 3);
        const QJsonObject &first = r.at(0);
        QCOMPARE(first.value("port").toString(), QStringLiteral("Com1"));
        QCOMPARE(first.value("port_path").toString(), m_emu->slavePath());
        QCOMPARE(first.value("bios_code").toString(), QStringLiteral("15/08/2003"));
        QCOMPARE(first.value("device").toString(), QStringLiteral("AT89C2051"));
        // Named as tarvo-cli names the command.
        QCOMPARE(first.value("commands").toArray().toVariantList(), QVariantList{"erase"});
        QCOMPARE(first.value("buffer_sum").toString(), m_form->controls().Buffer_Sum->text());
        QCOMPARE(first.value("image_sha256").toString().size(), 64);
        QCOMPARE(first.value("outcome").toArray().toVariantList(), QVariantList{"Erase.........Pass"});
        QVERIFY(first.value("passed").toBool());
        QCOMPARE(r.at(1).value("success").toInt(), 2);
        const QJsonObject &failed = r.at(2);
        QVERIFY(!failed.value("passed").toBool());
        QCOMPARE(failed.value("outcome").toArray().last().toString(), QStringLiteral("Command......Abort"));
        QCOMPARE(failed.value("failure").toInt(), 1);
        QVERIFY(QDateTime::fromString(failed.value("time").toString(), Qt::ISODateWithMs).isValid());
    }

    // Each write of the fuse editor is a record with its value and outcome;
    // a write whose record cannot be kept never reaches the device.
    void fuseWritesAreRecorded()
    {
        m_form->createSecondaryWindows(programDialogs(*m_form));
        WindowDriver::chooseEntry(m_form->controls().SelectDevice, DeviceCatalogue::indexOf(QStringLiteral("AT90S2343")));
        WindowRunLog log(*m_form, std::make_unique<LogFileStore>(logPath()));
        QVERIFY(log.open());
        recordFuseWrites(*m_form, log);
        auto *fuse = qobject_cast<TFuseForm *>(m_form->secondaryWindows().fuseForm());
        QVERIFY(fuse);
        const auto write = [fuse] {
            fuse->findChild<RadioGroup *>(QStringLiteral("Fuse1"))->item(0)->click();
            fuse->findChild<RadioGroup *>(QStringLiteral("Fuse2"))->item(1)->click();
            fuse->findChild<QPushButton *>(QStringLiteral("StartFuse"))->click();
        };
        QSignalSpy finished(fuse, &TFuseForm::exchangeFinished);
        fuse->show();
        QVERIFY(finished.wait(10000));
        write();
        QCOMPARE(int(m_emu->fuseByte(0x07)), 0x20);
        const QList<QJsonObject> r = records();
        QCOMPARE(r.size(), 1);
        QCOMPARE(r.at(0).value("commands").toArray().toVariantList(), QVariantList{"fuse-write"});
        QCOMPARE(r.at(0).value("fuse_value").toString(), QStringLiteral("20"));
        QCOMPARE(r.at(0).value("outcome").toArray().toVariantList(), QVariantList{"Program Fuse Complete"});
        QVERIFY(r.at(0).value("passed").toBool());
        QCOMPARE(r.at(0).value("device").toString(), QStringLiteral("AT90S2343"));
        QVERIFY(!r.at(0).value("version").toString().isEmpty());

        // The log becomes a folder: an error box, and no write goes out.
        QFile::remove(logPath());
        QVERIFY(QDir().mkdir(logPath()));
        const QStringList before = m_emu->commandWords();
        write();
        QCOMPARE(m_prompter->texts().size(), 1);
        QVERIFY2(m_prompter->texts().first().contains(QLatin1String("Is a directory")), qPrintable(m_prompter->texts().first()));
        QCOMPARE(m_emu->commandWords(), before);
        fuse->close();
        QDir().rmdir(logPath());
    }

    // --db or TARVO_DB: the records go to the database in place of the
    // log; one that cannot be opened shows the driver's text.
    void databaseTakesTheRecords()
    {
        qputenv("TARVO_DB", "env.db");
        qputenv("TARVO_LOG", "env.csv");
        QCOMPARE(WindowOptions::parse({"tarvo", "--db", "line.db"}).stores.database, QStringLiteral("line.db"));
        QCOMPARE(WindowOptions::parse({"tarvo", "--db=line.db"}).stores.database, QStringLiteral("line.db"));
        QCOMPARE(WindowOptions::parse({"tarvo"}).stores.database, QStringLiteral("env.db"));
        // Both on the line: which one keeps the records is not guessed.
        for (const QStringList &both : {QStringList{"tarvo", "--db", "line.db", "--log", "a.csv"},
                                        QStringList{"tarvo", "--log=a.csv", "--db=line.db"}})
            QCOMPARE(WindowOptions::parse(both).error, QStringLiteral("--db keeps the records: leave out --log"));
        qunsetenv("TARVO_DB");
        qunsetenv("TARVO_LOG");

        StoreOptions stores;
        stores.logFile = logPath();
        stores.database = m_dir.filePath(QStringLiteral("line.db"));
        QString error;
        {
            WindowRunLog log(*m_form, StoreFactory::recordStore(stores, &error));
            QVERIFY(log.open());
            WindowDriver::pressRun(*m_form, &TTarvoForm::EraseDeviceClick, 2);
        }
        QCOMPARE(m_prompter->texts(), QStringList());
        QVERIFY(!QFile::exists(logPath()));
        ProductionDatabase db(DatabaseLocation::parse(stores.database));
        QVERIFY2(db.open(&error, ProductionDatabase::OpenMode::Existing), qPrintable(error));
        QList<DeviceRecord> rows;
        QVERIFY(SqlRecordStore::read(db, QString(), [&rows](const DeviceRecord &r) { rows << r; }, &error));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(1).outcome, QStringList{"Erase.........Pass"});
        QCOMPARE(rows.at(1).successCount, 2);

        stores.database = m_dir.filePath(QStringLiteral("no/folder/line.db"));
        WindowRunLog unreachable(*m_form, StoreFactory::recordStore(stores, &error));
        QVERIFY(!unreachable.open());
        QCOMPARE(m_prompter->texts().size(), 1);
        QVERIFY2(m_prompter->texts().first().contains(QLatin1String("unable to open database file")),
                 qPrintable(m_prompter->texts().first()));
    }

    // With a database the window keeps its bench's row: waiting once open,
    // running during a run, the record's result with it, waiting again
    // while a passed command waits for Run, stopped when the window goes.
    void benchRowFollowsTheWindow()
    {
        StoreOptions stores;
        stores.database = m_dir.filePath(QStringLiteral("bench.db"));
        const auto row = [&stores]() -> BenchRow {
            ProductionDatabase db(DatabaseLocation::parse(stores.database));
            QString error;
            QList<BenchRow> rows;
            if (!db.open(&error, ProductionDatabase::OpenMode::Existing) || !BenchBoard(db).benches(&rows, &error)
                || rows.size() != 1)
                return {};
            return rows.first();
        };
        // What the row said while a run's steps went on.
        struct Watch : RunListener
        {
            std::function<BenchRow()> row;
            QStringList seen;
            void stepStarted(const RunStep &) override { seen << row().state; }
        } watch;
        watch.row = row;
        QString error;
        auto log = std::make_unique<WindowRunLog>(*m_form, StoreFactory::recordStore(stores, &error));
        QVERIFY(log->open());
        QCOMPARE(row().state, QStringLiteral("waiting"));
        QCOMPARE(row().portEntry, QStringLiteral("Com1"));

        m_form->runner().addListener(&watch);
        WindowDriver::pressRun(*m_form, &TTarvoForm::EraseDeviceClick, 2);
        QCOMPARE(watch.seen, QStringList({"running", "running"}));
        QCOMPARE(row().state, QStringLiteral("passed"));
        QCOMPARE(row().devices, 2);
        QTRY_COMPARE_WITH_TIMEOUT(row().state, QStringLiteral("waiting"), 10000);

        m_emu->addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Nak).forCommand(0x0A));
        WindowDriver::pressRun(*m_form, &TTarvoForm::BlankDeviceClick, 1);
        m_form->runner().removeListener(&watch);
        BenchRow failed = row();
        QCOMPARE(failed.state, QStringLiteral("failed"));
        QCOMPARE(failed.step, QStringLiteral("blank"));
        QVERIFY(!failed.text.isEmpty());
        QCOMPARE(failed.command, QStringLiteral("blank"));
        QCOMPARE(failed.devices, 3);
        QCOMPARE(m_prompter->texts(), QStringList());

        log.reset();
        QCOMPARE(row().state, QStringLiteral("stopped"));
    }

    // The record tells what the bench works with, not what a field shows
    // when the run ends: text typed into the port list after the choice
    // opens nothing and names no port.
    void recordTakesTheSession()
    {
        WindowRunLog log(*m_form, std::make_unique<LogFileStore>(logPath()));
        QVERIFY(log.open());
        QLineEdit *portEdit = m_form->controls().SelectComPort->lineEdit();
        QTest::keyClicks(portEdit, QStringLiteral("9"));
        QCOMPARE(m_form->controls().SelectComPort->currentText(), QStringLiteral("Com19"));
        WindowDriver::pressRun(*m_form, &TTarvoForm::EraseDeviceClick, 1);

        const QList<QJsonObject> r = records();
        QCOMPARE(r.size(), 1);
        QCOMPARE(r.at(0).value("port").toString(), QStringLiteral("Com1"));
        QCOMPARE(r.at(0).value("port_path").toString(), m_emu->slavePath());
        QCOMPARE(r.at(0).value("bios_code").toString(), m_form->controls().Tarvo_Code->text());
        QCOMPARE(r.at(0).value("success").toInt(), int(m_form->session().successCount()));
    }

    // A log that cannot be written: Run shows an error box with the
    // system's text and leaves the command before anything goes out, so no
    // device is programmed without its record.
    void unwritableLogLeavesTheCommand()
    {
        QVERIFY(QDir().mkdir(logPath()));
        WindowRunLog log(*m_form, std::make_unique<LogFileStore>(logPath()));
        QVERIFY(!log.open());
        m_prompter->clear();
        const int frames = m_emu->frameCount();
        WindowDriver::pressRun(*m_form, &TTarvoForm::EraseDeviceClick, 3);
        QCOMPARE(m_prompter->texts(), QStringList{logPath() + QStringLiteral(": Is a directory.")});
        QVERIFY(!m_form->runner().active());
        QCOMPARE(m_form->findChild<QLabel *>(QStringLiteral("PassCount"))->text(), QStringLiteral("Success : 0"));
        QCOMPARE(m_emu->frameCount(), frames);

        // Once the log can be written again, the next run goes ahead.
        QDir().rmdir(logPath());
        m_prompter->clear();
        WindowDriver::pressRun(*m_form, &TTarvoForm::EraseDeviceClick, 1);
        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(records().size(), 1);
    }
};

QTEST_MAIN(TestWindowRunLog)
#include "tst_WindowRunLog.moc"
