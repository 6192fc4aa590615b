// tarvo-cli's job modes as a process: a job saved from the options, shown
// in words with its image's checksums, and what either refuses.
#include "CliProcess.h"
#include "JobFile.h"

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
