// tarvo-cli's job modes as a process: a job saved from the options, shown
// in words with its image's checksums, and what either refuses.
#include "CliProcess.h"
#include "DeviceRecord.h"
#include "EmulatorFault.h"
#include "EmulatorReceived.h"
#include "JobFile.h"
#include "JsonLines.h"
#include "ProductionEmulator.h"

using Fault = EmulatorFault;

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

class TestCliJob : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }

    QString image()
    {
        const QString file = path(QStringLiteral("images/fw.hex"));
        QDir().mkpath(QFileInfo(file).path());
        QFile::remove(file);
        QFile::copy(QStringLiteral(EXAMPLES_DIR "/blink-8051/blink.hex"), file);
        return file;
    }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void savedShownAndChecked()
    {
        const QString job = path(QStringLiteral("jobs/line1.tarvojob"));
        QDir().mkpath(path(QStringLiteral("jobs")));
        const QString fw = image();
        auto r = CliProcess::runWithInput(
            {"--save-job", job, "-p", "at89c2051", "-f", fw, "--serial", "7F0:1000:2", "--serial-format", "bcd",
             "--serial-state", path("jobs/line1.state"), "--log", path("records/line1.csv"), "--devices", "50",
             "--stop-after-failures", "3", "--ask-operator", "required", "--ask-lot", "optional", "--scan", "--job-pin",
             "--job-name", "Line 1 thermostat", "erase", "program", "verify"},
            "2468\n");
        QVERIFY2(r.exitCode == 0, r.err.constData());

        QFile file(job);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray json = file.readAll();
        QVERIFY(!json.contains("2468") && !json.contains("port"));
        const QJsonObject o = QJsonDocument::fromJson(json).object();
        QCOMPARE(o.value("image").toObject().value("path").toString(), QStringLiteral("../images/fw.hex"));
        QCOMPARE(o.value("records").toObject().value("log").toString(), QStringLiteral("../records/line1.csv"));
        QCOMPARE(o.value("serial").toObject().value("stateFile").toString(), QStringLiteral("line1.state"));
        QString error;
        const auto read = JobFile::load(job, &error);
        QVERIFY2(read, qPrintable(error));
        QVERIFY(read->pinMatches(QStringLiteral("2468")));
        QCOMPARE(read->serial->format.form, SerialFormat::Form::Bcd);

        r = CliProcess::run({"--show-job", job});
        QCOMPARE(r.exitCode, 0);
        const QString sha = read->imageSha256;
        for (const QString &line :
             {QStringLiteral("Job:            Line 1 thermostat"), QStringLiteral("Device:         AT89C2051"),
              "  SHA-256 kept: " + sha, "  SHA-256 now:  " + sha + " (the same)",
              QStringLiteral("Commands:       erase program verify"),
              QStringLiteral("Devices:        50; stops after 3 failed in a row"),
              QStringLiteral("Operator name:  asked, required"), QStringLiteral("Lot:            asked, may be left empty"),
              QStringLiteral("Scanned code:   required for each device"), QStringLiteral("Engineer PIN:   set")})
            QVERIFY2(r.outLines().contains(line), qPrintable(line + QLatin1String(" in:\n") + QString::fromUtf8(r.out)));

        // One byte more in the image: both checksums shown, exit 2.
        QFile changed(fw);
        QVERIFY(changed.open(QIODevice::Append) && changed.write("\n") == 1);
        changed.close();
        r = CliProcess::run({"--show-job", job});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.contains("(CHANGED)") && r.out.contains(sha.toLatin1()));
        QVERIFY(r.err.contains("has changed since the job was saved"));
        QVERIFY(QFile::remove(fw));
        r = CliProcess::run({"--show-job", job});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.out.contains("SHA-256 now:  none, No such file or directory"), r.out.constData());
    }

    void autoIsTheDefaultForm()
    {
        const QString job = path(QStringLiteral("a.tarvojob"));
        const auto r = CliProcess::run({"--save-job", job, "-p", "AT89C51", "-f", image(), "auto"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const auto show = CliProcess::run({"--show-job", job});
        QVERIFY(show.outLines().contains(QStringLiteral("Commands:       auto")));
        QVERIFY(show.outLines().contains(QStringLiteral("Job:            a")));
        QVERIFY(show.outLines().contains(QStringLiteral("Devices:        unlimited; failures never stop the run")));
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("a port") << QStringList{"-P", "Com1", "auto"} << "the port belongs to the bench";
        QTest::newRow("read") << QStringList{"read", "-o", "x.hex"} << "read has no place in a job";
        QTest::newRow("no commands") << QStringList{} << "a job needs its commands";
        QTest::newRow("no devices") << QStringList{"--devices", "0", "auto"} << "--devices must be a whole number";
        QTest::newRow("ask maybe") << QStringList{"--ask-lot", "maybe", "auto"} << "take optional or required";
        QTest::newRow("serial without program") << QStringList{"--serial", "7F0:1", "verify"} << "--serial needs program";
        QTest::newRow("damaged image") << QStringList{"-f", "DAMAGED", "auto"} << "refused, line 1: wrong checksum";
        QTest::newRow("unknown device") << QStringList{"-p", "AT89X", "auto"} << "unknown device \"AT89X\"";
        QTest::newRow("empty PIN") << QStringList{"--job-pin", "auto"} << "no PIN on the first line";
        QTest::newRow("serial-failed maybe") << QStringList{"--serial", "7F0:1", "--serial-failed", "maybe", "program"}
                                             << "--serial-failed is reuse or retire, not \"maybe\"";
    }

    void refused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QString job = path(QStringLiteral("refused.tarvojob"));
        QStringList all{"--save-job", job};
        if (!arguments.contains(QStringLiteral("-p")))
            all << "-p" << "AT89C2051";
        if (!arguments.contains(QStringLiteral("-f")))
            all << "-f" << image();
        const qsizetype damaged = arguments.indexOf(QStringLiteral("DAMAGED"));
        if (damaged >= 0) {
            arguments[damaged] = path(QStringLiteral("damaged.hex"));
            QFile f(arguments[damaged]);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(":0100000000FE\n:00000001FF\n") > 0);
        }
        const auto r = CliProcess::runWithInput(all + arguments, "\n");
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message.toUtf8()), r.err.constData());
        QVERIFY(!QFile::exists(job));
    }

    // A job of two devices run on the emulator: after two the run ends
    // with its summary although the operator would go on.
    void runStopsAfterItsDevices()
    {
        auto emu = startEmulator();
        const QString job = path(QStringLiteral("two.tarvojob"));
        auto r = CliProcess::run({"--save-job", job, "-p", "AT89C2051", "-f", image(), "--devices", "2", "--log",
                                  path("two.csv"), "--ask-lot", "required", "erase", "program", "verify"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        r = CliProcess::run({"--job", job, "-P", emu->slavePath()});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("the job requires --lot"));
        QVERIFY(emu->received().isEmpty());

        r = CliProcess::runWithInput({"--job", job, "-P", emu->slavePath(), "--lot", "L-7"}, "\n\n\n\n");
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QVERIFY(r.out.contains("Devices: 2, passed: 2, failed: 0"));
        QCOMPARE(programFrames(*emu), 2);
        QFile log(path("two.csv"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // header, two records and the last line's end
        // Each record names the job, the file it was run from and the lot.
        QFile jobFile(job);
        QVERIFY(jobFile.open(QIODevice::ReadOnly));
        const QString jobSha = QString::fromLatin1(QCryptographicHash::hash(jobFile.readAll(), QCryptographicHash::Sha256).toHex());
        for (int i : {1, 2}) {
            QString error;
            const std::optional<DeviceRecord> record = DeviceRecord::fromCsvRow(QString::fromUtf8(lines.at(i)), &error);
            QVERIFY2(record, qPrintable(error));
            QCOMPARE(record->jobName, QStringLiteral("two"));
            QCOMPARE(record->jobSha256, jobSha);
            QCOMPARE(record->lot, QStringLiteral("L-7"));
            QCOMPARE(record->operatorName, QString());
        }
    }

    // A job that retires the numbers of failed devices: its file keeps the
    // choice, and the device that failed after its number went out leaves
    // the number retired; the next device gets a fresh one.
    void retiringJobScrapsAFailedDevicesNumber()
    {
        auto emu = startEmulator();
        const QString job = path(QStringLiteral("scrap.tarvojob"));
        const QString state = path(QStringLiteral("scrap.state"));
        auto r = CliProcess::run({"--save-job", job, "-p", "AT89C2051", "-f", image(), "--serial", "7F0:1", "--serial-state",
                                  state, "--serial-failed", "retire", "--log", path("scrap.csv"), "program"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QString error;
        const auto read = JobFile::load(job, &error);
        QVERIFY2(read && read->serial, qPrintable(error));
        QCOMPARE(read->serial->failed, JobFile::FailedNumber::Retire);

        // The programmer refuses after taking the device's last block, which carries the number.
        emu->addFault(Fault::at(Fault::Event::BlockRequest, Fault::Action::Nak, 32).forCommand(0x01).withReport("01A3"));
        r = CliProcess::runWithInput({"--job", job, "-P", emu->slavePath()}, "\n\n");
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.out.contains("Devices: 2, passed: 1, failed: 1"), r.out.constData());
        QCOMPARE(emu->flash(0x01).mid(0x7F0, 4), QByteArray("\x02\x00\x00\x00", 4));
        QFile f(state);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY2(f.readAll().contains("\nretired 1 =its%20device%20failed%20after%20it%20was%20written\n"), qPrintable(state));
    }

    // A job that scans: each line is a device's code, kept in its record;
    // one port only.
    void scanningJobTakesCodes()
    {
        auto emu = startEmulator();
        const QString job = path(QStringLiteral("scan.tarvojob"));
        auto r = CliProcess::run({"--save-job", job, "-p", "AT89C2051", "-f", image(), "--devices", "2", "--log",
                                  path("scan.jsonl"), "--scan", "program"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        r = CliProcess::runWithInput({"--job", job, "-P", emu->slavePath()}, "\nA-1\nA-2\n");
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(programFrames(*emu), 2);
        const QList<QJsonObject> records = readJsonLines(path("scan.jsonl"));
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.at(0).value("scan").toString(), QStringLiteral("A-1"));
        QCOMPARE(records.at(1).value("scan").toString(), QStringLiteral("A-2"));

        auto second = startEmulator();
        r = CliProcess::runWithInput({"--job", job, "-P", emu->slavePath(), "-P", second->slavePath()}, "A-3\n");
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("the job scans a code for each device, which takes one port"), r.err.constData());
        QVERIFY(second->received().isEmpty());
    }

    // On several ports each port's process opens the job itself: it gets
    // the job and the bench's answers, never the settings the job filled in,
    // which a job run refuses.
    void jobOnTwoPorts()
    {
        auto first = startEmulator();
        auto second = startEmulator();
        const QString job = path(QStringLiteral("ports.tarvojob"));
        auto r = CliProcess::run({"--save-job", job, "-p", "AT89C2051", "-f", image(), "--devices", "1", "--serial",
                                  "7F0:100", "--serial-state", path("serial.state"), "auto"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        r = CliProcess::runWithInput({"--job", job, "-P", first->slavePath(), "-P", second->slavePath()}, "\n\n");
        QVERIFY2(r.exitCode == 0, (r.err + r.out).constData());
        QCOMPARE(programFrames(*first), 1);
        QCOMPARE(programFrames(*second), 1);
    }

    void stopsAfterFailuresInARow()
    {
        auto emu = startEmulator();
        for (int k = 0; k < 2; ++k)
            emu->addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Nak).forCommand(0x0A));
        const QString job = path(QStringLiteral("k.tarvojob"));
        auto r = CliProcess::run({"--save-job", job, "-p", "AT89C2051", "-f", image(), "--stop-after-failures", "2",
                                  "erase", "blank", "program"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        r = CliProcess::runWithInput({"--job", job, "-P", emu->slavePath()}, "\n\n\n\n");
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("Error: Stopped: 2 devices failed in a row"), r.err.constData());
        QVERIFY(r.out.contains("Devices: 2, passed: 0, failed: 2"));
        QCOMPARE(programFrames(*emu), 0);
    }

    // A job's devices in a database, with the operator and the lot given:
    // the report counts them under the job and lot, with the yield and the
    // step that failed; a bench row names the port.
    void jobRunReportedByJobAndLot()
    {
        auto emu = startEmulator();
        emu->addFault(EmulatorFault::at(EmulatorFault::Event::CommandReply, EmulatorFault::Action::Nak).forCommand(0x0A));
        const QString job = path(QStringLiteral("board.tarvojob"));
        const QString db = path(QStringLiteral("line.db"));
        auto r = CliProcess::run({"--save-job", job, "--job-name", "Board A", "-p", "AT89C2051", "-f", image(), "--db", db,
                                  "--ask-operator", "required", "--ask-lot", "optional", "erase", "blank", "program"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        r = CliProcess::runWithInput({"--job", job, "-P", emu->slavePath(), "--operator", "Ann", "--lot", "L 7"}, "\n\n\nq\n");
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.out.contains("Devices: 3, passed: 2, failed: 1"), r.out.constData());

        r = CliProcess::run({"--db", db, "--report"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QVERIFY2(r.out.contains("Job              Lot               Devices   Passed   Failed    Yield\n"
                                "Board A          L 7                     3        2        1   66.7 %\n"),
                 r.out.constData());
        QVERIFY(r.out.contains("\nFailed step       Devices\nblank                   1\n\n"
                               "Most failed step: blank (1 of 1 failed devices)\n"));
        r = CliProcess::run({"--db", db, "--report", "--bench"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QVERIFY2(r.out.contains(QStringLiteral(" %1 ").arg(emu->slavePath()).toUtf8()), r.out.constData());
        r = CliProcess::run({"--db", db, "--report", "--json"});
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        const QJsonObject first = QJsonDocument::fromJson(lines.first()).object();
        QCOMPARE(first.value(QStringLiteral("operator")).toString(), QStringLiteral("Ann"));
        QCOMPARE(first.value(QStringLiteral("lot")).toString(), QStringLiteral("L 7"));
        QCOMPARE(first.value(QStringLiteral("job")).toString(), QStringLiteral("Board A"));
        QCOMPARE(first.value(QStringLiteral("job_sha256")).toString().size(), 64);
    }

    // The image changed on disk: refused when the job opens, and before
    // the next device once the run is under way; nothing more is sent.
    void changedImageSendsNothing()
    {
        auto emu = startEmulator();
        const QString fw = image();
        const QString job = path(QStringLiteral("guard.tarvojob"));
        auto r = CliProcess::run({"--save-job", job, "-p", "AT89C2051", "-f", fw, "auto"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const auto change = [&fw] {
            QFile f(fw);
            return f.open(QIODevice::Append) && f.write("\n") == 1;
        };

        CliProcess run({"--job", job, "-P", emu->slavePath()});
        run.start();
        run.write("\n");
        QVERIFY(run.waitForOutput("Device 1 passed"));
        QVERIFY(change());
        run.write("\n");
        run.closeInput();
        r = run.finish();
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("has changed since the job was saved"), r.err.constData());
        QVERIFY(r.out.contains("Devices: 1, passed: 1, failed: 0"));
        QCOMPARE(programFrames(*emu), 1);
        // No frame of a second device: one erase only.
        int erases = 0;
        for (const QString &w : emu->commandWords())
            erases += w.startsWith(QLatin1String("0D")) ? 1 : 0;
        QCOMPARE(erases, 1);

        emu = startEmulator();
        r = CliProcess::runWithInput({"--job", job, "-P", emu->slavePath()}, "\n");
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("has changed since the job was saved"));
        QVERIFY(QFile::remove(fw));
        r = CliProcess::runWithInput({"--job", job, "-P", emu->slavePath()}, "\n");
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("cannot be read: No such file or directory"), r.err.constData());
        QVERIFY(emu->received().isEmpty());
    }

    void fixedOptionsRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("device") << QStringList{"-p", "AT89C51"} << "leave out --device";
        QTest::newRow("file") << QStringList{"-f", "x.hex"} << "leave out --file";
        QTest::newRow("command") << QStringList{"erase"} << "leave out a command";
        QTest::newRow("log") << QStringList{"--log", "x.csv"} << "leave out --log";
        QTest::newRow("repeat") << QStringList{"--repeat"} << "leave out --repeat";
        QTest::newRow("count") << QStringList{"--devices", "3"} << "need --save-job";
        QTest::newRow("operator not asked") << QStringList{"--operator", "Ann"} << "--operator: the job does not ask for it";
    }

    void fixedOptionsRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        auto emu = startEmulator();
        const QString job = path(QStringLiteral("fixed.tarvojob"));
        QCOMPARE(CliProcess::run({"--save-job", job, "-p", "AT89C2051", "-f", image(), "auto"}).exitCode, 0);
        const auto r = CliProcess::run(QStringList{"--job", job, "-P", emu->slavePath()} + arguments);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message.toUtf8()), r.err.constData());
        QVERIFY(emu->received().isEmpty());
    }

    void damagedJobNamesTheKey()
    {
        const QString job = path(QStringLiteral("bad.tarvojob"));
        QFile f(job);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(R"({"tarvojob": 7})") > 0);
        f.close();
        auto r = CliProcess::run({"--show-job", job});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("\"tarvojob\": version 7 is not known"), r.err.constData());
        r = CliProcess::run({"--show-job", job, "-v"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("--show-job takes no other option"));
        r = CliProcess::run({"--devices", "5", "-P", "Com1", "-p", "AT89C2051", "erase"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("need --save-job"));
    }
};

QTEST_GUILESS_MAIN(TestCliJob)
#include "tst_cli_job.moc"
