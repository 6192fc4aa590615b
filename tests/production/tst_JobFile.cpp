// The job file: PBKDF2 against RFC 7914's vectors and Python's hashlib, a
// job written and read back whole, and damaged, unknown or contradictory
// jobs refused with the key named.
#include "JobFile.h"
#include "Pbkdf2.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

JobFile fullJob()
{
    JobFile job;
    job.name = QStringLiteral("Thermostat rev B, ไทย");
    job.device = QStringLiteral("AT89C2051");
    job.image = QStringLiteral("fw/thermostat.bin");
    job.imageSha256 = QString(64, QLatin1Char('a'));
    job.imageOffset = 0x0100;
    job.commands = {QStringLiteral("erase"), QStringLiteral("program"), QStringLiteral("verify")};
    JobFile::Serial serial;
    serial.format.address = 0x07F0;
    serial.format.start = 1000;
    serial.format.step = 2;
    serial.format.form = SerialFormat::Form::Bcd;
    serial.format.bytes = 3;
    serial.sequence = QStringLiteral("thermostat");
    serial.failed = JobFile::FailedNumber::Retire;
    job.serial = serial;
    job.database = QStringLiteral("postgresql://tarvo@line/records");
    job.devices = 500;
    job.stopAfterFailures = 3;
    job.askOperator = JobFile::Ask::Required;
    job.askLot = JobFile::Ask::Optional;
    job.scan = true;
    return job;
}

QJsonObject objectOf(const JobFile &job)
{
    return QJsonDocument::fromJson(job.toJson()).object();
}

} // namespace

class TestJobFile : public QObject
{
    Q_OBJECT

private slots:
    void pbkdf2KnownVectors()
    {
        // RFC 7914, section 11.
        QCOMPARE(Pbkdf2::hmacSha256("passwd", "salt", 1, 64).toHex(),
                 QByteArray("55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
                            "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"));
        QCOMPARE(Pbkdf2::hmacSha256("Password", "NaCl", 80000, 64).toHex(),
                 QByteArray("4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
                            "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"));
    }

    // Python's hashlib as the oracle: a key longer than the block size, a
    // length that ends inside a block, an empty password, bytes above 7Fh.
    void pbkdf2AgainstHashlib()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
            QFAIL("python3 is missing");
        const QList<std::tuple<QByteArray, QByteArray, int, int>> cases{
            {QByteArray(100, 'k'), "s", 3, 33},
            {QByteArray(), "salt", 2, 32},
            {QStringLiteral("ไทย1234").toUtf8(), QByteArray("\x00\xff\x10", 3), 1000, 7},
        };
        for (const auto &[password, salt, iterations, length] : cases) {
            QProcess python;
            python.start(QStringLiteral("python3"),
                         {"-c", "import hashlib,sys; print(hashlib.pbkdf2_hmac('sha256', bytes.fromhex(sys.argv[1]), "
                                "bytes.fromhex(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])).hex())",
                          QString::fromLatin1(password.toHex()), QString::fromLatin1(salt.toHex()),
                          QString::number(iterations), QString::number(length)});
            QVERIFY(python.waitForFinished(30000));
            QCOMPARE(Pbkdf2::hmacSha256(password, salt, iterations, length).toHex(),
                     python.readAllStandardOutput().trimmed());
        }
    }

    void writtenAndReadBackWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("thermostat.tarvojob"));
        JobFile job = fullJob();
        job.setPin(QStringLiteral("4711"));
        QString error;
        QVERIFY2(job.save(path, &error), qPrintable(error));
        const std::optional<JobFile> back = JobFile::load(path, &error);
        QVERIFY2(back, qPrintable(error));
        // The same file again: every setting survived.
        QCOMPARE(back->toJson(), job.toJson());
        QCOMPARE(back->serial->format.form, SerialFormat::Form::Bcd);
        QCOMPARE(back->imageOffset, std::optional<uint16_t>(0x0100));
        QVERIFY(back->pinMatches(QStringLiteral("4711")));
        QVERIFY(!back->pinMatches(QStringLiteral("4712")));
        QVERIFY(!back->pinMatches(QString()));
        // The PIN itself is nowhere in the file, and a new salt each time.
        QVERIFY(!job.toJson().contains("4711"));
        JobFile again = job;
        again.setPin(QStringLiteral("4711"));
        QVERIFY(again.pin->salt != job.pin->salt && again.pin->hash != job.pin->hash);

        // The fewest keys: auto, unlimited, nothing asked.
        JobFile small;
        small.name = QStringLiteral("n");
        small.device = QStringLiteral("AT89C51");
        small.image = QStringLiteral("a.hex");
        small.imageSha256 = QString(64, QLatin1Char('0'));
        const QJsonObject o = objectOf(small);
        QCOMPARE(o.value("commands").toString(), QStringLiteral("auto"));
        QCOMPARE(o.value("devices").toString(), QStringLiteral("unlimited"));
        const auto read = JobFile::fromJson(small.toJson(), &error);
        QVERIFY2(read && read->commands.isEmpty() && read->devices == 0 && !read->pin, qPrintable(error));
    }

    void imagePathRelativeToTheJob()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("jobs")));
        const QString jobPath = dir.filePath(QStringLiteral("jobs/a.tarvojob"));
        const QString image = dir.filePath(QStringLiteral("images/fw.hex"));
        JobFile job;
        job.image = JobFile::relativePath(jobPath, image);
        QCOMPARE(job.image, QStringLiteral("../images/fw.hex"));
        QCOMPARE(job.imagePath(jobPath), QDir::cleanPath(image));

        QString error;
        QVERIFY(JobFile::sha256OfFile(image, &error).isEmpty());
        QVERIFY(!error.isEmpty());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("images")));
        QFile f(image);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("abc") == 3);
        f.close();
        QCOMPARE(JobFile::sha256OfFile(image, &error),
                 QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    }

    void refusedWithTheKey_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        const QJsonObject good = objectOf(fullJob());
        const auto with = [&](const QString &key, const QJsonValue &value) {
            QJsonObject o = good;
            if (value.isUndefined())
                o.remove(key);
            else
                o[key] = value;
            return QJsonDocument(o).toJson();
        };
        const auto withSerial = [&](const QString &key, const QJsonValue &value) {
            QJsonObject s = good.value("serial").toObject();
            s[key] = value;
            return with(QStringLiteral("serial"), s);
        };
        QTest::newRow("not JSON") << QByteArray("{\"tarvojob\": 1,") << "not JSON at offset";
        QTest::newRow("an array") << QByteArray("[1]") << "not a job";
        QTest::newRow("no version") << with("tarvojob", QJsonValue::Undefined) << "\"tarvojob\": missing";
        QTest::newRow("newer version") << with("tarvojob", 2) << "\"tarvojob\": version 2 is not known";
        QTest::newRow("no name") << with("name", QJsonValue::Undefined) << "\"name\": missing";
        QTest::newRow("empty device") << with("device", "") << "\"device\": must be a text";
        QTest::newRow("short checksum")
            << with("image", QJsonObject{{"path", "a.hex"}, {"sha256", "abc"}}) << "\"image.sha256\": must be 64 hex";
        QTest::newRow("no image path")
            << with("image", QJsonObject{{"sha256", QString(64, 'a')}}) << "\"image.path\": missing";
        QTest::newRow("misspelt key") << withSerial("widht", 4) << "\"serial.widht\": unknown key";
        QTest::newRow("width over the form") << withSerial("width", 0) << "\"serial.width\": must be a whole number from 1 to";
        QTest::newRow("width beyond any integer") << withSerial("width", 1e105) << "\"serial.width\": must be a whole number";
        QTest::newRow("start over the width") << withSerial("start", 1000000) << "\"serial.start\": does not fit 3 bytes";
        QTest::newRow("unknown form") << withSerial("form", "hex") << "\"serial.form\": must be le, be, ascii or bcd";
        QTest::newRow("unknown policy") << withSerial("failed", "skip") << "\"serial.failed\": must be reuse or retire";
        QTest::newRow("state file and sequence") << withSerial("stateFile", "s.state") << "\"serial.sequence\": ";
        QTest::newRow("log and database")
            << with("records", QJsonObject{{"log", "a.csv"}, {"database", "a.db"}}) << "\"records.database\": ";
        QTest::newRow("sequence without database")
            << with("records", QJsonObject{{"log", "a.csv"}}) << "\"serial.sequence\": needs \"records.database\"";
        QTest::newRow("serial without program")
            << with("commands", QJsonArray{"verify"}) << "\"serial\": needs program or auto";
        QTest::newRow("no commands") << with("commands", QJsonArray{}) << "\"commands\": must be \"auto\" or a list";
        QTest::newRow("no devices") << with("devices", 0) << "\"devices\": must be \"unlimited\"";
        QTest::newRow("half a device") << with("devices", 2.5) << "\"devices\": ";
        QTest::newRow("negative stop") << with("stopAfterFailures", -1) << "\"stopAfterFailures\": ";
        QTest::newRow("ask maybe") << with("ask", QJsonObject{{"lot", "maybe"}}) << "\"ask.lot\": must be no, optional or required";
        QTest::newRow("scan as text") << with("scan", "yes") << "\"scan\": must be true or false";
        QTest::newRow("pin of another kind")
            << with("pin", QJsonObject{{"kdf", "md5"}, {"iterations", 100000}, {"salt", "AAAAAAAAAAAAAAAAAAAAAA=="},
                                       {"hash", QString(44, 'A')}})
            << "\"pin.kdf\": must be pbkdf2-sha256";
        QTest::newRow("pin salt short")
            << with("pin", QJsonObject{{"kdf", "pbkdf2-sha256"}, {"iterations", 100000}, {"salt", "AAAA"},
                                       {"hash", QString(44, 'A')}})
            << "\"pin.salt\": must be at least 16 bytes";
        QTest::newRow("a port") << with("port", "/dev/ttyUSB0") << "\"port\": unknown key";
    }

    void refusedWithTheKey()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        QString why;
        QVERIFY(!JobFile::fromJson(json, &why));
        QVERIFY2(why.startsWith(error), qPrintable(why));
    }

    void unreadableJobNamed()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!JobFile::load(dir.filePath(QStringLiteral("none.tarvojob")), &error));
        QVERIFY2(error.endsWith(QLatin1String("none.tarvojob: No such file or directory")), qPrintable(error));
        QVERIFY(!JobFile::load(dir.path(), &error));
        QVERIFY(error.endsWith(QLatin1String(": is a folder")));
    }
};

QTEST_GUILESS_MAIN(TestJobFile)
#include "tst_JobFile.moc"
