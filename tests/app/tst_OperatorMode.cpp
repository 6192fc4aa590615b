// Jobs in the window: File > Save Job..., and operator mode (the locks, the
// panel, the PIN, serial numbers into flash and the database, the image
// guard, the counts) through the real window against the emulated
// programmer.
#include "BenchBoard.h"
#include "BenchLiveness.h"
#include "DatabaseLocation.h"
#include "DeviceCatalogue.h"
#include "DeviceRecord.h"
#include "EmulatorFault.h"
#include "FileChooser.h"
#include "JobFile.h"
#include "OperatorMode.h"
#include "ProductionDatabase.h"
#include "ProgrammerEmulator.h"
#include "ScriptedPrompter.h"
#include "SerialStateFile.h"
#include "SqlRecordStore.h"
#include "StoreFactory.h"
#include "TTarvoForm.h"
#include "WindowDriver.h"
#include "WindowOptions.h"
#include "WindowRunLog.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

namespace {

constexpr uint8_t Type2051 = 0x01;

class PathChooser : public FileChooser
{
public:
    QString hexFile;
    QString jobFile;
    QString openFileName() override { return hexFile; }
    QString saveFileName() override { return QString(); }
    QString openJobName() override { return jobFile; }
    QString saveJobName() override { return jobFile; }
};

using JobChange = std::function<void(JobFile &)>;

} // namespace

Q_DECLARE_METATYPE(JobChange)

class TestOperatorMode : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgrammerEmulator> m_emu;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<TTarvoForm> m_form;
    std::unique_ptr<QTemporaryDir> m_dir;
    PathChooser m_chooser;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    QString image()
    {
        const QString file = path(QStringLiteral("fw.hex"));
        QFile::remove(file);
        QFile::copy(QStringLiteral(EXAMPLES_DIR "/blink-8051/blink.hex"), file);
        QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return file;
    }

    // A job of Auto on the AT89C2051 with blink.hex; change reads it as the test wants.
    QString saveJob(const std::function<void(JobFile &)> &change)
    {
        const QString fw = image();
        JobFile job;
        job.name = QStringLiteral("Line 1 blink");
        job.device = QStringLiteral("AT89C2051");
        job.image = QStringLiteral("fw.hex");
        QString error;
        job.imageSha256 = JobFile::sha256OfFile(fw, &error);
        change(job);
        const QString file = path(QStringLiteral("line1.tarvojob"));
        if (!job.save(file, &error))
            qFatal("%s", qPrintable(error));
        return file;
    }

    // The operator: whenever the job's command waits for Run, act() decides
    // (true: Run pressed); the timer runs inside the command's waits.
    void operate(const std::function<bool(int waits)> &act, const std::function<bool()> &done)
    {
        int waits = 0;
        QTimer press;
        press.setInterval(5);
        connect(&press, &QTimer::timeout, this, [&] {
            CommandRunner &r = m_form->runner();
            if (!r.waitingForRun() || !m_form->runEnabled() || r.RunPressed)
                return;
            if (act(waits++))
                m_form->StartRunClick();
        });
        press.start();
        QVERIFY2(QTest::qWaitFor(done, 60000), qPrintable(m_prompter->texts().join(QLatin1String(" | "))));
    }

    QAction *item(const char *name) const { return WindowDriver::control<QAction>(m_form.get(), name); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_emu = std::make_unique<ProgrammerEmulator>();
        m_emu->setSocketDevice(QStringLiteral("AT89C2051"));
        QString error;
        QVERIFY2(m_emu->start(&error), qPrintable(error));
        qputenv("TARVO_COM1", m_emu->slavePath().toLocal8Bit());
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_form = std::make_unique<TTarvoForm>(*m_prompter);
        m_form->setFileChooser(&m_chooser);
        m_form->show();
        WindowDriver::chooseEntry(m_form->controls().SelectComPort, 0);
        QVERIFY(m_form->link().HardwareFound());
    }
    void cleanup()
    {
        m_form.reset();
        m_emu.reset();
        m_dir.reset();
        qunsetenv("TARVO_COM1");
    }

    void optionsOfTheWindow()
    {
        QCOMPARE(WindowOptions::parse({"tarvo", "--job", "a.tarvojob"}).job, QStringLiteral("a.tarvojob"));
        QCOMPARE(WindowOptions::parse({"tarvo", "--job"}).error, QStringLiteral("Missing value after '--job'."));
        // The job says where records go.
        QCOMPARE(WindowOptions::parse({"tarvo", "--job", "a.tarvojob", "--db", "x.db"}).error,
                 QStringLiteral("--job says where the records go: leave out --db"));
    }

    // What the window stands for, saved, reads back as the same job; a
    // window without a command chosen saves nothing.
    void saveJobReadsBack()
    {
        WindowDriver::chooseEntry(m_form->controls().SelectDevice, DeviceCatalogue::indexOf(QStringLiteral("AT89C2051")));
        m_chooser.hexFile = image();
        m_form->FileOpen1Execute();
        m_chooser.jobFile = path(QStringLiteral("jobs/saved.tarvojob"));
        QDir().mkpath(path(QStringLiteral("jobs")));
        m_form->FileSaveJobExecute();
        QCOMPARE(m_prompter->texts(), QStringList{"Choose the job's Device command first."});
        QVERIFY(!QFile::exists(m_chooser.jobFile));

        m_prompter->clear();
        m_form->jobSaver().setWindowStores({QStringLiteral("records/line.csv"), {}, {}, {}, {}});
        // Verify armed, then left with Exit.
        QTimer::singleShot(0, this, [this] {
            QVERIFY(QTest::qWaitFor([this] { return m_form->runEnabled(); }, 10000));
            m_form->StopRunClick();
        });
        m_form->VerifyDeviceClick();
        m_form->FileSaveJobExecute();
        QCOMPARE(m_prompter->texts(), QStringList());
        QString error;
        const std::optional<JobFile> job = JobFile::load(m_chooser.jobFile, &error);
        QVERIFY2(job, qPrintable(error));
        QCOMPARE(job->name, QStringLiteral("saved"));
        QCOMPARE(job->device, QStringLiteral("AT89C2051"));
        QCOMPARE(job->image, QStringLiteral("../fw.hex"));
        QCOMPARE(job->imageSha256, JobFile::sha256OfFile(m_chooser.hexFile, &error));
        QCOMPARE(job->commands, QStringList{"verify"});
        QCOMPARE(JobFile::resolvedPath(m_chooser.jobFile, job->logFile), QDir::current().absoluteFilePath("records/line.csv"));
        QVERIFY(!job->serial && !job->pin);

        // A server's location is kept as it stands; a database file, like
        // the log, from the job's folder.
        const QString server = QStringLiteral("postgresql://line@db.example/records");
        for (const auto &[database, stored] : {std::pair{server, server},
                                               std::pair{path(QStringLiteral("records/line.db")), QStringLiteral("../records/line.db")}}) {
            m_form->jobSaver().setWindowStores({{}, {}, {}, database, {}});
            const std::optional<JobFile> saved = m_form->jobSaver().job(m_chooser.jobFile, &error);
            QVERIFY2(saved, qPrintable(error));
            QCOMPARE(saved->database, stored);
            QCOMPARE(saved->logFile, QString());
        }
    }

    // A job the window cannot run, or whose files or questions fail, is
    // refused with the reason; the window stays unlocked under its own
    // title. A job open already stays open.
    void refusedJobs_data()
    {
        QTest::addColumn<JobChange>("change");
        QTest::addColumn<bool>("alreadyOpen");
        QTest::addColumn<QString>("shown");
        QTest::newRow("several commands") << JobChange([](JobFile &j) { j.commands = QStringList{"erase", "program"}; })
                                          << false << "the window runs a job of one Device command";
        QTest::newRow("scan") << JobChange([](JobFile &j) { j.scan = true; }) << false
                              << "the job scans a code for each device";
        QTest::newRow("unknown device") << JobChange([](JobFile &j) { j.device = QStringLiteral("AT00X"); }) << false
                                        << "unknown device \"AT00X\"";
        QTest::newRow("changed image") << JobChange([](JobFile &j) { j.imageSha256 = QString(64, QLatin1Char('0')); })
                                       << false << "has changed since the job was saved";
        // One byte at 0x900, past the 2 KB of flash.
        QTest::newRow("image past the device") << JobChange([this](JobFile &j) {
            const QString big = path(QStringLiteral("big.hex"));
            QFile file(big);
            if (!file.open(QIODevice::WriteOnly) || file.write(":01090000AA4C\r\n:00000001FF\r\n") < 0)
                qFatal("big.hex");
            file.close();
            j.image = QStringLiteral("big.hex");
            QString error;
            j.imageSha256 = JobFile::sha256OfFile(big, &error);
        }) << false << "past the end of the AT89C2051";
        QTest::newRow("database unreachable")
            << JobChange([](JobFile &j) { j.database = QStringLiteral("no/folder/line.db"); }) << false
            << "unable to open database file";
        // Cancelled: no box of its own.
        QTest::newRow("operator name cancelled") << JobChange([](JobFile &j) { j.askOperator = JobFile::Ask::Required; })
                                                 << false << QString();
        QTest::newRow("a job open already") << JobChange([](JobFile &) {}) << true
                                            << "A job is open already: close it first";
    }
    void refusedJobs()
    {
        QFETCH(JobChange, change);
        QFETCH(bool, alreadyOpen);
        QFETCH(QString, shown);
        const QString title = m_form->windowTitle();
        const QString job = saveJob(change);
        if (alreadyOpen)
            QVERIFY(m_form->openJob(job));
        m_prompter->clear();
        QVERIFY(!m_form->openJob(job));
        const QStringList texts = m_prompter->texts();
        if (shown.isEmpty())
            QCOMPARE(texts, QStringList());
        else
            QVERIFY2(texts.size() == 1 && texts.constFirst().contains(shown), qPrintable(texts.join(QLatin1String(" | "))));
        if (alreadyOpen) {
            QVERIFY(m_form->operatorMode().active());
            QCOMPARE(m_form->windowTitle(), QStringLiteral("Line 1 blink - ") + title);
            return;
        }
        QVERIFY(!m_form->operatorMode().active());
        QVERIFY(!m_form->operatorMode().cycle());
        QCOMPARE(m_form->windowTitle(), title);
        QVERIFY(m_form->controls().SelectDevice->isEnabled());
        QVERIFY(item("FileOpenJobItem")->isEnabled());
        QVERIFY(!m_form->operatorMode().panel().isVisible());
    }

    // Operator mode holds everything but the job's command and the job's
    // items; the panel shows the operator's answers and the next number.
    // A wrong PIN keeps the job; the right one gives the window back as it was.
    void lockedPanelAndPin()
    {
        const QString title = m_form->windowTitle();
        const QSize size = m_form->size();
        const QString job = saveJob([](JobFile &j) {
            j.commands = QStringList{"program"};
            j.serial = JobFile::Serial{};
            j.serial->format = SerialFormat{0x7F0, 4096, 1, SerialFormat::Form::Le, 4};
            j.serial->stateFile = QStringLiteral("line1.state");
            j.devices = 5;
            j.askOperator = JobFile::Ask::Required;
            j.askLot = JobFile::Ask::Optional;
            j.setPin(QStringLiteral("2468"));
        });
        // An empty name is asked again; the lot may stay empty.
        m_prompter->textAnswers = {QStringLiteral(""), QStringLiteral(" Anna "), QStringLiteral("")};
        QVERIFY(m_form->openJob(job));
        QCOMPARE(m_prompter->asked, QStringList({"Operator name:", "Operator name:", "Lot or work order (may be left empty):"}));
        QCOMPARE(m_prompter->texts(), QStringList{"The job requires the operator name."});
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Line 1 blink - ") + title);
        const OperatorPanel &panel = m_form->operatorMode().panel();
        QVERIFY(panel.isVisible());
        QCOMPARE(panel.text(), QStringLiteral("Operator: Anna; Lot: -; Next serial: 4096 (00 10 00 00); Devices: 0 of 5; Yield: -"));
        // The window's own controls stay where they were, the panel below.
        QCOMPARE(m_form->controls().GroupBox3->mapTo(m_form.get(), QPoint()).y() + m_form->controls().GroupBox3->height()
                     <= panel.mapTo(m_form.get(), QPoint()).y(),
                 true);

        m_prompter->clear();
        QStringList armedStates;
        bool keptAfterWrongPin = false;
        operate(
            [&](int) {
                const TarvoLayout &ui = m_form->controls();
                QStringList enabled;
                for (QAction *a : ui.deviceItems())
                    if (a->isEnabled())
                        enabled << a->objectName();
                armedStates << QStringLiteral("%1 %2 %3 %4 %5 %6")
                                   .arg(ui.DisplayCommand->text().simplified(), enabled.join(','))
                                   .arg(ui.SelectDevice->isEnabled())
                                   .arg(ui.SelectComPort->isEnabled())
                                   .arg(ui.File1->isEnabled() && ui.File1->actions().contains(item("FileCloseJobItem")))
                                   .arg(item("FileOpenItem")->isEnabled() || item("FileOpenJobItem")->isEnabled()
                                        || item("FileSaveJobItem")->isEnabled());
                // Wrong, then right: the job closes and the command is left.
                m_prompter->textAnswers = {QStringLiteral("1111")};
                m_form->FileCloseJobExecute();
                keptAfterWrongPin = m_form->operatorMode().active();
                m_prompter->textAnswers = {QStringLiteral("2468")};
                m_form->FileCloseJobExecute();
                return false;
            },
            [this] { return !m_form->operatorMode().active() && !m_form->runner().active(); });
        QCOMPARE(armedStates, QStringList{"Program Device ProgramDevice 0 0 1 0"});
        QVERIFY(keptAfterWrongPin);
        QCOMPARE(m_prompter->asked.mid(3), QStringList({"secret: Engineer PIN to close the job:",
                                                         "secret: Engineer PIN to close the job:"}));
        QCOMPARE(m_prompter->texts(), QStringList{"Wrong PIN: the job stays open."});
        QCOMPARE(m_form->windowTitle(), title);
        QVERIFY(!panel.isVisible());
        QCOMPARE(m_form->size(), size);
        QVERIFY(m_form->controls().SelectDevice->isEnabled() && m_form->controls().SelectComPort->isEnabled());
        QVERIFY(item("FileOpenItem")->isEnabled() && item("FileOpenJobItem")->isEnabled() && !m_form->controls().File1->actions().contains(item("FileCloseJobItem")));
        // Nothing was programmed, so the number is still the next.
        QCOMPARE(m_emu->blocksReceived(), 0);

        // Saved again elsewhere, the job keeps the production settings it
        // was opened with, its files found from the new folder.
        m_prompter->clear();
        m_chooser.jobFile = path(QStringLiteral("copy/line1b.tarvojob"));
        QDir().mkpath(path(QStringLiteral("copy")));
        m_form->FileSaveJobExecute();
        QCOMPARE(m_prompter->texts(), QStringList());
        QString error;
        const std::optional<JobFile> saved = JobFile::load(m_chooser.jobFile, &error);
        QVERIFY2(saved, qPrintable(error));
        QCOMPARE(saved->image, QStringLiteral("../fw.hex"));
        QCOMPARE(saved->commands, QStringList{"program"});
        QVERIFY(saved->serial);
        QCOMPARE(saved->serial->stateFile, QStringLiteral("../line1.state"));
        QCOMPARE(saved->serial->format.start, quint64(4096));
        QCOMPARE(saved->devices, 5);
        QCOMPARE(saved->askOperator, JobFile::Ask::Required);
        QVERIFY(saved->pin && saved->pinMatches(QStringLiteral("2468")));
    }

    // Each Run is one device: its number goes into flash, is used in the
    // database and recorded; after the job's devices the job ends.
    void serialNumbersIntoFlashAndDatabase()
    {
        const QString job = saveJob([](JobFile &j) {
            j.serial = JobFile::Serial{};
            j.serial->format = SerialFormat{0x7F0, 1000, 7, SerialFormat::Form::Le, 4};
            j.serial->sequence = QStringLiteral("blink");
            j.database = QStringLiteral("line.db");
            j.devices = 2;
            j.askOperator = JobFile::Ask::Optional;
            j.askLot = JobFile::Ask::Required;
        });
        m_prompter->textAnswers = {QStringLiteral("Anna"), QStringLiteral("L-42")};
        QVERIFY(m_form->openJob(job));
        QList<QByteArray> flashes;
        operate(
            [&](int waits) {
                if (waits > 0)
                    flashes << m_emu->flash(Type2051).mid(0x7F0, 4);
                return true;
            },
            [this] { return !m_form->operatorMode().stoppedText().isEmpty() && !m_form->runner().active(); });
        flashes << m_emu->flash(Type2051).mid(0x7F0, 4);
        QCOMPARE(flashes, QList<QByteArray>({QByteArray("\xE8\x03\x00\x00", 4), QByteArray("\xEF\x03\x00\x00", 4)}));
        QVERIFY(QTest::qWaitFor([this] { return !m_prompter->texts().isEmpty(); }, 5000));
        QCOMPARE(m_prompter->texts(), QStringList{"Job done: 2 devices, 2 passed."});
        QCOMPARE(m_form->operatorMode().panel().text(),
                 QStringLiteral("Operator: Anna; Lot: L-42; Next serial: 1014 (F6 03 00 00); Devices: 2 of 2; Yield: 100.0 % (2 of 2)"));
        // Stopped: nothing can be armed any more.
        for (QAction *a : m_form->controls().deviceItems())
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));

        QString error;
        ProductionDatabase db(DatabaseLocation::parse(path(QStringLiteral("line.db"))));
        QVERIFY2(db.open(&error, ProductionDatabase::OpenMode::Existing), qPrintable(error));
        QList<DeviceRecord> rows;
        QVERIFY(SqlRecordStore::read(db, QString(), [&rows](const DeviceRecord &r) { rows << r; }, &error));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).serial, std::optional<quint64>(1000));
        QCOMPARE(rows.at(1).serial, std::optional<quint64>(1007));
        QVERIFY(rows.at(0).passed && rows.at(1).passed);
        QCOMPARE(rows.at(1).device, QStringLiteral("AT89C2051"));
        QCOMPARE(rows.at(1).fileName, QStringLiteral("fw.hex"));
        QCOMPARE(rows.at(1).successCount, 2);
        // The job, its file's checksum, the operator and the lot.
        QCOMPARE(rows.at(1).jobName, QStringLiteral("Line 1 blink"));
        QCOMPARE(rows.at(1).jobSha256, JobFile::sha256OfFile(job, &error));
        QCOMPARE(rows.at(1).operatorName, QStringLiteral("Anna"));
        QCOMPARE(rows.at(1).lot, QStringLiteral("L-42"));
        // The bench's row on the line's board says the same.
        QList<BenchRow> benches;
        QVERIFY2(BenchBoard(db).benches(&benches, &error), qPrintable(error));
        QCOMPARE(benches.size(), 1);
        QCOMPARE(benches.at(0).job, QStringLiteral("Line 1 blink"));
        QCOMPARE(benches.at(0).lot, QStringLiteral("L-42"));
        QCOMPARE(benches.at(0).portEntry, QStringLiteral("Com1"));
        QCOMPARE(benches.at(0).devices, qint64(2));
    }

    // The window's log and a job keeping records in the same database share
    // the bench's row: while the job is open the row is the job's, the
    // window's own left stopped (so its refresh no longer runs); closed,
    // the row is the window's and waiting again.
    void windowLogLeavesTheRowToTheJob()
    {
        StoreOptions stores;
        stores.database = path(QStringLiteral("line.db"));
        QString error;
        std::unique_ptr<RecordStore> store = StoreFactory::recordStore(stores, &error);
        QVERIFY2(store, qPrintable(error));
        const BenchLiveness *windowBench = store->liveness();
        WindowRunLog log(*m_form, std::move(store));
        QVERIFY(log.open());
        const auto row = [this]() -> BenchRow {
            ProductionDatabase db(DatabaseLocation::parse(path(QStringLiteral("line.db"))));
            QString error;
            QList<BenchRow> rows;
            if (!db.open(&error, ProductionDatabase::OpenMode::Existing) || !BenchBoard(db).benches(&rows, &error)
                || rows.size() != 1)
                return {};
            return rows.first();
        };
        QCOMPARE(row().state, QStringLiteral("waiting"));

        const QString job = saveJob([](JobFile &j) {
            j.database = QStringLiteral("line.db");
            j.askLot = JobFile::Ask::Required;
        });
        m_prompter->textAnswers = {QStringLiteral("L-7")};
        QVERIFY(m_form->openJob(job));
        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(windowBench->row().state, QStringLiteral("stopped"));
        BenchRow shared = row();
        QCOMPARE(shared.state, QStringLiteral("waiting"));
        QCOMPARE(shared.job, QStringLiteral("Line 1 blink"));
        QCOMPARE(shared.lot, QStringLiteral("L-7"));

        m_form->FileCloseJobExecute();
        QVERIFY(!m_form->operatorMode().active());
        QCOMPARE(windowBench->row().state, QStringLiteral("waiting"));
        shared = row();
        QCOMPARE(shared.state, QStringLiteral("waiting"));
        QCOMPARE(shared.job, QString());
    }

    // A changed image stops the job before the device: nothing goes out.
    void changedImageSendsNothing()
    {
        const QString job = saveJob([](JobFile &j) { j.devices = 3; });
        QVERIFY(m_form->openJob(job));
        int frames = -1;
        operate(
            [&](int) {
                QFile file(path(QStringLiteral("fw.hex")));
                if (!file.open(QIODevice::Append))
                    qFatal("image");
                file.write(":00000001FF\r\n");
                file.close();
                frames = m_emu->frameCount();
                return true;
            },
            [this] { return !m_form->operatorMode().stoppedText().isEmpty() && !m_form->runner().active(); });
        QVERIFY(QTest::qWaitFor([this] { return !m_prompter->texts().isEmpty(); }, 5000));
        QVERIFY2(m_prompter->texts().constFirst().contains(QLatin1String("has changed since the job was saved")),
                 qPrintable(m_prompter->texts().join('|')));
        QTest::qWait(200);
        QCOMPARE(m_emu->frameCount(), frames);
        QCOMPARE(m_emu->blocksReceived(), 0);
        QCOMPARE(m_form->operatorMode().cycle()->devices(), 0);
    }

    // Failures are counted and the command armed again; after the job's
    // number of failures in a row it stops and says so. A failed device's
    // number that never reached it goes to the next device.
    void failuresInARowStop()
    {
        const QString job = saveJob([](JobFile &j) {
            j.serial = JobFile::Serial{};
            j.serial->format = SerialFormat{0x7F0, 1, 1, SerialFormat::Form::Le, 2};
            j.serial->stateFile = QStringLiteral("line1.state");
            j.stopAfterFailures = 2;
        });
        QVERIFY(m_form->openJob(job));
        // Pass, fail (erase), pass, fail, fail: stops after the fifth.
        const QList<bool> fails{false, true, false, true, true};
        QList<QByteArray> passedFlash;
        operate(
            [&](int waits) {
                if (waits == 1 || waits == 3)
                    passedFlash << m_emu->flash(Type2051).mid(0x7F0, 2);
                if (waits < fails.size() && fails.at(waits))
                    m_emu->addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Nak)
                                        .forCommand(0x05));
                return waits < fails.size();
            },
            [this] { return !m_form->operatorMode().stoppedText().isEmpty() && !m_form->runner().active(); });
        QVERIFY(QTest::qWaitFor([this] { return !m_prompter->texts().isEmpty(); }, 5000));
        QCOMPARE(m_prompter->texts().constLast(), QStringLiteral("Stopped: 2 devices failed in a row."));
        const ProductionCycle *cycle = m_form->operatorMode().cycle();
        QCOMPARE(cycle->devices(), 5);
        QCOMPARE(cycle->passed(), 2);
        // 1 and 2 used; 3 released twice over, so it is still the next.
        QCOMPARE(passedFlash, QList<QByteArray>({QByteArray("\x01\x00", 2), QByteArray("\x02\x00", 2)}));
        QString error;
        QCOMPARE(cycle->nextSerial(&error), std::optional<quint64>(3));
        QVERIFY(m_form->operatorMode().panel().text().endsWith(QLatin1String("Devices: 5 (no limit); Yield: 40.0 % (2 of 5)")));
    }

    // tarvo --job on a bench whose port is not yet chosen: the port list
    // stays open until the programmer is found, then the job's command arms.
    void jobBeforeTheProgrammer()
    {
        m_form = std::make_unique<TTarvoForm>(*m_prompter);
        m_form->show();
        QVERIFY(m_form->openJob(saveJob([](JobFile &j) { j.devices = 1; })));
        QTest::qWait(50);
        QVERIFY(!m_form->runner().active());
        QVERIFY(m_form->controls().SelectComPort->isEnabled());
        QVERIFY(!m_form->controls().SelectDevice->isEnabled());
        WindowDriver::chooseEntry(m_form->controls().SelectComPort, 0);
        QVERIFY(m_form->link().HardwareFound());
        bool portLocked = false;
        operate(
            [&](int) {
                portLocked = !m_form->controls().SelectComPort->isEnabled();
                return true;
            },
            [this] { return !m_form->operatorMode().stoppedText().isEmpty() && !m_form->runner().active(); });
        QVERIFY(portLocked);
        QCOMPARE(m_form->operatorMode().cycle()->passed(), 1);
        QCOMPARE(m_emu->blocksReceived() > 0, true);
    }

    // Exit leaves the job's command only for it to be armed again: the
    // operator cannot drop out of the job that way.
    void exitArmsTheJobAgain()
    {
        QVERIFY(m_form->openJob(saveJob([](JobFile &j) { j.devices = 1; })));
        bool leftAfterExit = false;
        operate(
            [&](int waits) {
                if (waits == 0) {
                    m_form->StopRunClick();
                    return false;
                }
                leftAfterExit = m_form->operatorMode().active() && m_form->operatorMode().cycle()->devices() == 0;
                return true;
            },
            [this] { return !m_form->operatorMode().stoppedText().isEmpty() && !m_form->runner().active(); });
        QVERIFY(leftAfterExit);
        QCOMPARE(m_form->operatorMode().cycle()->devices(), 1);
        QCOMPARE(m_form->operatorMode().cycle()->passed(), 1);
    }
};

QTEST_MAIN(TestOperatorMode)
#include "tst_OperatorMode.moc"
