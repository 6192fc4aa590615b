// The record, the serial forms and rules, and the file stores on real files,
// with real processes sharing them.
#include "DeviceRecord.h"
#include "HostileRecord.h"
#include "LogFileStore.h"
#include "MemoryBuffer.h"
#include "SerialFormat.h"
#include "BenchIdentity.h"
#include "SerialState.h"
#include "SerialStateFile.h"
#include "CsvRow.h"
#include "DeviceCommand.h"
#include "RunRecorder.h"
#include "SelectionState.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <sys/wait.h>
#include <unistd.h>

namespace {

DeviceRecord sampleRecord()
{
    DeviceRecord r;
    r.time = QDateTime(QDate(2026, 3, 1), QTime(8, 30, 5, 120), QTimeZone(3600));
    r.host = QStringLiteral("line-2");
    r.portEntry = QStringLiteral("Com1");
    r.portPath = QStringLiteral("/dev/ttyS0");
    r.biosCode = QStringLiteral("15/08/2003");
    r.device = QStringLiteral("AT89C2051");
    r.commands = {QStringLiteral("erase"), QStringLiteral("program")};
    r.fileName = QStringLiteral("fw, \"final\".hex");
    r.imageSha256 = QStringLiteral("ab12");
    r.bufferChecksum = QStringLiteral("1A2BH");
    r.serial = 1000;
    r.serialText = QStringLiteral("E8 03 00 00");
    r.outcome = {QStringLiteral("Program..Fail:01A3"), QStringLiteral("Command......Abort")};
    r.durationMs = 1234;
    r.successCount = 3;
    r.failureCount = 1;
    return r;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// Runs body in n forked processes at once; true when all exit 0.
bool inProcesses(int n, const std::function<bool(int index)> &body)
{
    QList<pid_t> children;
    for (int i = 0; i < n; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0)
            ::_exit(body(i) ? 0 : 1);
        children << pid;
    }
    bool ok = true;
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return ok;
}

} // namespace

namespace {

SerialFormat serialForm(quint64 start)
{
    SerialFormat f;
    f.address = 0x7F0;
    f.start = start;
    return f;
}

} // namespace

class TestProduction : public QObject
{
    Q_OBJECT

private slots:
    void serialForms_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<quint64>("number");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("text");
        QTest::newRow("le") << "le" << 4 << quint64(1000) << QByteArray("\xE8\x03\x00\x00", 4) << "E8 03 00 00";
        QTest::newRow("be") << "be" << 3 << quint64(0x123456) << QByteArray("\x12\x34\x56") << "12 34 56";
        QTest::newRow("ascii") << "ascii" << 6 << quint64(4711) << QByteArray("004711") << "004711";
        QTest::newRow("bcd") << "bcd" << 3 << quint64(12345) << QByteArray("\x01\x23\x45") << "01 23 45";
        QTest::newRow("le-full-width") << "le" << 8 << ~quint64(0) << QByteArray(8, '\xFF') << "FF FF FF FF FF FF FF FF";
        QTest::newRow("le-too-big") << "le" << 2 << quint64(65536) << QByteArray() << "";
        QTest::newRow("ascii-too-big") << "ascii" << 3 << quint64(1000) << QByteArray() << "";
        QTest::newRow("bcd-largest") << "bcd" << 1 << quint64(99) << QByteArray("\x99") << "99";
        QTest::newRow("bcd-too-big") << "bcd" << 1 << quint64(100) << QByteArray() << "";
    }
    void serialForms()
    {
        QFETCH(QString, form);
        QFETCH(int, bytes);
        QFETCH(quint64, number);
        QFETCH(QByteArray, written);
        QFETCH(QString, text);
        SerialFormat f;
        f.form = *SerialFormat::formOf(form);
        f.bytes = bytes;
        f.address = 0xFFFE;
        QCOMPARE(f.encode(number), written);
        QCOMPARE(f.text(number), text);
        MemoryBuffer buffer;
        buffer.fill(0x5A);
        QCOMPARE(f.write(buffer, number), !written.isEmpty());
        QByteArray inBuffer;
        for (int i = 0; i < bytes; ++i)
            inBuffer.append(char(buffer.at(uint16_t(0xFFFE + i))));
        QCOMPARE(inBuffer, written.isEmpty() ? QByteArray(bytes, 0x5A) : written);
    }

    void serialSpecs()
    {
        SerialFormat f;
        QString error;
        QVERIFY(f.parseArgument(QStringLiteral("0x7F0:1000:2"), &error));
        QCOMPARE(f.address, uint16_t(0x7F0));
        QCOMPARE(f.start, quint64(1000));
        QCOMPARE(f.step, quint64(2));
        QVERIFY(f.parseArgument(QStringLiteral("7FCH:5"), &error));
        QCOMPARE(f.address, uint16_t(0x7FC));
        QCOMPARE(f.step, quint64(1));
        f.bytes = 4;
        QVERIFY(f.fitsDevice(0x7FF));
        f.bytes = 5;
        QVERIFY(!f.fitsDevice(0x7FF));
        QVERIFY(f.parseArgument(QStringLiteral("7F0:0:9223372036854775807"), &error));
        QCOMPARE(f.step, SerialFormat::LargestStep);
        QVERIFY(!f.parseArgument(QStringLiteral("7F0:0:9223372036854775808"), &error));
        QCOMPARE(error, QStringLiteral("serial step \"9223372036854775808\" is too large (at most 9223372036854775807)"));
        for (const char *bad : {"7F0", "10000:1", "7F0:-1", "7F0:1:0", "G0:1", ":1", "7F0:1:2:3", "7F0:1:18446744073709551615",
                                "7F0:1:18446744073709551616"})
            QVERIFY2(!f.parseArgument(QLatin1String(bad), &error) && !error.isEmpty(), bad);
    }

    void serialStateRules()
    {
        const BenchIdentity h{QStringLiteral("h"), QStringLiteral("m"), QStringLiteral("b"), 1};
        BenchIdentity h2 = h;
        h2.pid = 2;
        SerialState s(100, 5);
        QCOMPARE(s.reserve(h, 0), std::optional<quint64>(100));
        QCOMPARE(s.reserve(h2, 0), std::optional<quint64>(105));
        QVERIFY(s.release(100));
        QVERIFY(!s.release(100)); // no longer reserved: not released twice
        QCOMPARE(s.peek(), std::optional<quint64>(100));
        QCOMPARE(s.reserve(h, 0), std::optional<quint64>(100));
        QVERIFY(s.commit(100));
        QCOMPARE(s.reserve(h, 0), std::optional<quint64>(110));
        QString error;
        QVERIFY(!SerialState::fromText("next 1\nbogus 2\n", 1, &error));
        QVERIFY(!SerialState::fromText("released 3\n", 1, &error));

        // The last number is handed out once, never wrapped round.
        SerialState end(~quint64(0) - 1, 1);
        QVERIFY(end.reserve(h, 0));
        QCOMPARE(end.reserve(h, 0), std::optional<quint64>(~quint64(0)));
        QVERIFY(!end.reserve(h, 0));
    }

    // A dead holder's number is taken back at once only from the same host,
    // machine and boot; a clone of the disk image, another boot or another
    // host waits for the time-out. Any host name survives the file.
    void serialStateReclaim()
    {
        const BenchIdentity self{QStringLiteral("bench"), QStringLiteral("m1"), QStringLiteral("boot1"), 1};
        const auto holder = [&](const QString &host, const QString &machine, const QString &boot) {
            return BenchIdentity{host, machine, boot, 2};
        };
        const QList<BenchIdentity> holders{
            holder("bench", "m1", "boot1"),  // 100: same boot, dead: taken back
            holder("bench", "m1", "boot0"),  // 101: before a reboot: pid 2 is another process now
            holder("other", "m1", "boot1"),  // 102: a clone of the disk image
            holder("bench", "m2", "boot1"),  // 103: another machine of the same name
            holder("", "", ""),              // 104: nothing known
            holder(" ", "m1", "boot1"),      // 105
            holder("a b\nc%=", "m1", "b"),  // 106
        };
        SerialState state(100, 1);
        for (const BenchIdentity &b : holders)
            state.reserve(b, 1000);
        QString error;
        const std::optional<SerialState> back = SerialState::fromText(state.toText(), 1, &error);
        QVERIFY2(back, qPrintable(error));
        QCOMPARE(back->reserved(), state.reserved());

        SerialState now = *back;
        now.reclaim(self, [](qint64) { return false; }, 1000 + SerialState::HolderTimeoutMs);
        QCOMPARE(now.released(), QList<quint64>{100});
        QCOMPARE(now.reserved().size(), holders.size() - 1);
        // A holder that still runs keeps its number.
        now = *back;
        now.reclaim(self, [](qint64) { return true; }, 1000);
        QVERIFY(now.released().isEmpty());
        // Past the time-out every holder's number is taken back.
        now.reclaim(self, [](qint64) { return true; }, 1001 + SerialState::HolderTimeoutMs);
        QCOMPARE(now.released().size(), holders.size());
        // Without ids of its own a bench never takes a holder for dead.
        now = *back;
        now.reclaim({QStringLiteral("bench"), {}, {}, 1}, [](qint64) { return false; }, 1000);
        QVERIFY(now.released().isEmpty());

        // An older version's file is read; its holders wait for the
        // time-out, which runs from the first reading.
        std::optional<SerialState> old = SerialState::fromText("next 7\nreleased 3\nreserved 5 bench 2\n", 1, &error);
        QVERIFY2(old, qPrintable(error));
        QCOMPARE(old->reserved().value(0).holder.host, QStringLiteral("bench"));
        old->reclaim(self, [](qint64) { return false; }, 5000);
        QCOMPARE(old->released(), QList<quint64>{3});
        const std::optional<SerialState> rewritten = SerialState::fromText(old->toText(), 1, &error);
        QVERIFY2(rewritten, qPrintable(error));
        QCOMPARE(rewritten->reserved().value(0).sinceMs, 5000);
        QVERIFY(!SerialState::fromText("next 1\nreservation 5 2 0 bench =m =b\n", 1, &error));

        // Written numbers: retired, not released, when their holder is gone
        // or timed out; kept through the file with their reason; a retired
        // number is never reserved again, even when it is released later.
        SerialState w(200, 1);
        const BenchIdentity dead = holder("bench", "m1", "boot1");
        const BenchIdentity far = holder("far", "m9", "b9");
        w.reserve(dead, 1000);
        w.reserve(dead, 1000);
        w.reserve(far, 1000);
        QVERIFY(w.markWritten(200) && w.markWritten(202) && !w.markWritten(299));
        w.reclaim(self, [](qint64) { return false; }, 2000);
        QCOMPARE(w.released(), QList<quint64>{201});
        QCOMPARE(w.retired(), (QList<SerialState::Retired>{{200, SerialState::holderDiedText()}}));
        w.reclaim(self, [](qint64) { return true; }, 1001 + SerialState::HolderTimeoutMs);
        QCOMPARE(w.retired().size(), 2);
        QVERIFY(w.retire(201, QStringLiteral("a b\n%=")));
        QVERIFY(!w.retire(201, QStringLiteral("twice")));
        const std::optional<SerialState> kept = SerialState::fromText(w.toText(), 1, &error);
        QVERIFY2(kept, qPrintable(error));
        QCOMPARE(kept->retired(), w.retired());
        QVERIFY(kept->released().isEmpty());
        QCOMPARE(SerialState(*kept).reserve(self, 3000), std::optional<quint64>(203));
        QVERIFY(!SerialState::fromText("next 1\nretired 5 reason\n", 1, &error));
    }

    void recordForms()
    {
        const DeviceRecord r = sampleRecord();
        QCOMPARE(r.timeText(), QStringLiteral("2026-03-01T08:30:05.120+01:00"));
        const QString row = r.csvRow();
        QVERIFY(row.contains(QStringLiteral(",\"fw, \"\"final\"\".hex\",")));
        QVERIFY(row.contains(QStringLiteral(",Program..Fail:01A3 | Command......Abort,fail,1234,3,1")));
        QCOMPARE(row.count(QLatin1Char(',')) - 1, DeviceRecord::csvHeader().count(QLatin1Char(',')));
        const QJsonObject o = QJsonDocument::fromJson(r.jsonLine()).object();
        QCOMPARE(o.value(QStringLiteral("serial")).toString(), QStringLiteral("1000"));
        QCOMPARE(o.value(QStringLiteral("outcome")).toArray().size(), 2);
        QCOMPARE(o.value(QStringLiteral("passed")).toBool(), false);
    }

    // The log's forms stay as logs already written hold them, byte for byte.
    void recordFormsAsStored()
    {
        const DeviceRecord r = hostileRecord();
        QCOMPARE(DeviceRecord::csvHeader(), QStringLiteral("time,host,port,port_path,bios_code,device,commands,file,image_sha256,"
                                                           "buffer_sum,serial,serial_text,outcome,passed,duration_ms,success,failure,"
                                                           "version,fuse_value,scan,job,job_sha256,operator,lot"));
        QCOMPARE(r.csvRow().toUtf8(),
                 QByteArray("2026-12-01T23:59:59.007+07:00,\"line \"\"2\"\", bay\n3\",\"Com1,\\\",\"/dev/tty\\S0\r\n\",\"\"\"\"\"\","
                            "AT89C2051,erase program lock2,\"C:\\งาน\\เฟิร์มแวร์, \"\"final\"\"\n.hex\","
                            "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff,1A2BH,18446744073709551615,"
                            "FF FF FF FF FF FF FF FF,\"Program..Fail:01A3 ทดสอบ, \"\"x\"\" \\ | Command......Abort\",fail,"
                            "9007199254740993,2147483647,1,,,'; DROP TABLE tarvo_records; --,\"งาน \"\"A\"\", 'B'\n<script>\","
                            "0000000000000000000000000000000000000000000000000000000000000000,สมชาย O'Brien,\"'=HYPERLINK(\"\"x\"\"),\\\t7\""));
        QCOMPARE(r.jsonLine(),
                 QByteArray("{\"bios_code\":\"\\\"\\\"\",\"buffer_sum\":\"1A2BH\",\"commands\":[\"erase\",\"program\",\"lock2\"],"
                            "\"device\":\"AT89C2051\",\"duration_ms\":9007199254740993,\"failure\":1,"
                            "\"file\":\"C:\\\\งาน\\\\เฟิร์มแวร์, \\\"final\\\"\\n.hex\",\"fuse_value\":\"\",\"host\":\"line \\\"2\\\", bay\\n3\","
                            "\"image_sha256\":\"ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff\","
                            "\"job\":\"งาน \\\"A\\\", 'B'\\n<script>\",\"job_sha256\":\"0000000000000000000000000000000000000000000000000000000000000000\","
                            "\"lot\":\"=HYPERLINK(\\\"x\\\"),\\\\\\t7\",\"operator\":\"สมชาย O'Brien\","
                            "\"outcome\":[\"Program..Fail:01A3 ทดสอบ, \\\"x\\\" \\\\\",\"Command......Abort\"],\"passed\":false,"
                            "\"port\":\"Com1,\\\\\",\"port_path\":\"/dev/tty\\\\S0\\r\\n\",\"scan\":\"'; DROP TABLE tarvo_records; --\",\"serial\":\"18446744073709551615\","
                            "\"serial_text\":\"FF FF FF FF FF FF FF FF\",\"success\":2147483647,"
                            "\"time\":\"2026-12-01T23:59:59.007+07:00\",\"version\":\"\"}"));
    }

    // Each form reads back as the record written; what is not of a form is
    // refused with the field named.
    void recordFormsReadBack()
    {
        DeviceRecord bare;
        bare.time = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone(-9 * 3600 - 1800));
        for (const DeviceRecord &r : {hostileRecord(), bare}) {
            QString error;
            const std::optional<DeviceRecord> csv = DeviceRecord::fromCsvRow(r.csvRow(), &error);
            QVERIFY2(csv, qPrintable(error));
            QCOMPARE(*csv, r);
            QCOMPARE(csv->timeText(), r.timeText());
            const std::optional<DeviceRecord> json = DeviceRecord::fromJsonLine(r.jsonLine(), &error);
            QVERIFY2(json, qPrintable(error));
            QCOMPARE(*json, r);
            QCOMPARE(json->timeText(), r.timeText());
        }

        // A log of the first form, without the program's version, fuse value
        // and scanned code, reads as it was written.
        {
            DeviceRecord r = sampleRecord();
            QString error;
            QCOMPARE(DeviceRecord::fromCsvRow(r.csvRow(1), &error), std::optional<DeviceRecord>(r));
            QJsonObject old = r.toJson();
            for (const char *key : {"version", "fuse_value", "scan", "job", "job_sha256", "operator", "lot"})
                old.remove(QLatin1String(key));
            QCOMPARE(DeviceRecord::fromJson(old, &error), std::optional<DeviceRecord>(r));
        }
        // And one of the second form, without the job, the operator and the lot.
        {
            DeviceRecord r = hostileRecord();
            r.jobName.clear();
            r.jobSha256.clear();
            r.operatorName.clear();
            r.lot.clear();
            QString error;
            QCOMPARE(DeviceRecord::fromCsvRow(r.csvRow(2), &error), std::optional<DeviceRecord>(r));
            QCOMPARE(DeviceRecord::csvForm(DeviceRecord::csvHeader(2)), 2);
        }

        const QString row = sampleRecord().csvRow();
        const QList<std::pair<QString, QString>> badRows = {
            {QString(row).replace(QLatin1String(",fail,"), QLatin1String(",failed,")), "The field passed cannot be \"failed\"."},
            {QString(row).replace(QLatin1String("2026-03-01T"), QLatin1String("2026-13-01T")), "The field time cannot be"},
            {QString(row).replace(QLatin1String(",3,1"), QLatin1String(",2147483648,1")), "The field success cannot be"},
            {QString(row).replace(QLatin1String(",1000,"), QLatin1String(",-1,")), "The field serial cannot be"},
            {row + QLatin1String(",extra"), "The CSV row has 25 fields; a record has 24."},
            {row.left(row.lastIndexOf(QLatin1Char(','))), "The CSV row has 23 fields; a record has 24."},
            {sampleRecord().csvRow(1) + QLatin1String(",x"), "The CSV row has 18 fields; a record has 24."},
            {sampleRecord().csvRow(2) + QLatin1String(",x"), "The CSV row has 21 fields; a record has 24."},
            {QString(row).replace(QLatin1String(".hex\","), QLatin1String(".hex\"x,")), "goes on after its closing quote"},
            {QString(row).replace(QLatin1String("Com1"), QLatin1String("Co\"m1")), "An unquoted field of the CSV row holds a quote"},
            {row.left(row.indexOf(QLatin1String(".hex"))), "has no closing quote"},
        };
        for (const auto &[bad, message] : badRows) {
            QString error;
            QVERIFY2(!DeviceRecord::fromCsvRow(bad, &error), qPrintable(bad));
            QVERIFY2(error.startsWith(message) || error.contains(message), qPrintable(error));
        }

        const QJsonObject object = sampleRecord().toJson();
        const auto without = [&object](const char *key) {
            QJsonObject o = object;
            o.remove(QLatin1String(key));
            return o;
        };
        const auto with = [&object](const char *key, const QJsonValue &value) {
            QJsonObject o = object;
            o.insert(QLatin1String(key), value);
            return o;
        };
        const QList<std::pair<QJsonObject, const char *>> bad = {
            {without("device"), "device"},
            {with("duration_ms", 12.5), "duration_ms"},
            {with("serial", 1000), "serial"},
            {with("passed", QStringLiteral("fail")), "passed"},
            {with("outcome", QJsonArray{QStringLiteral("Erase.........Pass"), 3}), "outcome"},
            {with("commands", QStringLiteral("erase")), "commands"},
        };
        for (const auto &[o, field] : bad) {
            QString error;
            QVERIFY(!DeviceRecord::fromJson(o, &error));
            QCOMPARE(error, QStringLiteral("The field %1 is missing or not of its form.").arg(QLatin1String(field)));
        }
        QString error;
        QVERIFY(!DeviceRecord::fromJsonLine("[1]", &error));
        QCOMPARE(error, QStringLiteral("The JSON line holds no object."));
        QVERIFY(!DeviceRecord::fromJsonLine("{\"time\":", &error));
        QVERIFY2(error.startsWith(QLatin1String("The JSON line cannot be read: ")), qPrintable(error));
    }

    // The runner's one-byte counters wrap at 256 as the window shows them;
    // the records count on, and start again from a reset.
    // What a spreadsheet would run is written as text, quoted where it
    // must be, and read back as it was; a log written before reads as it is.
    void csvFieldsASpreadsheetCannotRun()
    {
        const QStringList fields{"=HYPERLINK(\"x\")", "+1", "-2", "@SUM(A1)", "'=kept", "'plain", "a=b", "",
                                 "x,\"y\"\nz", "-a,b"};
        const QString row = CsvRow::join(fields);
        QCOMPARE(row, QStringLiteral("\"'=HYPERLINK(\"\"x\"\")\",'+1,'-2,'@SUM(A1),''=kept,'plain,a=b,,"
                                     "\"x,\"\"y\"\"\nz\",\"'-a,b\""));
        QString error;
        QCOMPARE(CsvRow::split(row, &error), std::optional<QStringList>(fields));
        QCOMPARE(CsvRow::split(QStringLiteral("=1+2,@x,plain"), &error),
                 std::optional<QStringList>(QStringList{"=1+2", "@x", "plain"}));
    }

    void recordsCountPastTheWindowsCounters()
    {
        MemoryBuffer buffer;
        SelectionState selection;
        RunRecorder recorder(buffer, selection);
        QList<DeviceRecord> records;
        recorder.onRecord = [&records](const DeviceRecord &r) { records << r; };
        const DeviceCommand &erase = *DeviceCommand::byName(QStringLiteral("erase"));
        RunCounts counts;
        const auto run = [&](bool passed) {
            recorder.runStarted(erase);
            passed ? ++counts.success : ++counts.failure;
            recorder.countsChanged(counts);
            recorder.runEnded({passed ? RunState::Passed : RunState::Failed, {}, counts});
        };
        for (int k = 0; k < 300; ++k)
            run(k < 256 || k % 10 != 0);
        QCOMPARE(records.size(), 300);
        // 256 passes: the window's counters read 0 and 0 again.
        QCOMPARE(records.at(255).successCount, 256);
        QCOMPARE(records.at(255).failureCount, 0);
        QCOMPARE(records.last().successCount, 296);
        QCOMPARE(records.last().failureCount, 4);
        QCOMPARE(counts.success, uint8_t(296 - 256));
        counts = {};
        recorder.countsChanged(counts);
        run(true);
        QCOMPARE(records.last().successCount, 1);
        QCOMPARE(records.last().failureCount, 0);
    }

    // A CSV log begun in the first form keeps its columns; a header that is
    // no form of ours is refused before anything is written.
    void csvLogKeepsItsForm()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.csv"));
        const QByteArray old = DeviceRecord::csvHeader(1).toUtf8() + '\n' + sampleRecord().csvRow(1).toUtf8() + '\n';
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        LogFileStore log(path);
        QString error;
        DeviceRecord next = sampleRecord();
        next.version = QStringLiteral("9.9");
        QVERIFY2(log.open(&error) && log.append(next, &error), qPrintable(error));
        QCOMPARE(readAll(path), old + sampleRecord().csvRow(1).toUtf8() + '\n');

        const QString foreign = dir.filePath(QStringLiteral("foreign.csv"));
        {
            QFile f(foreign);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("name,value\n");
        }
        LogFileStore other(foreign);
        QVERIFY(!other.open(&error));
        QVERIFY2(error.contains(QLatin1String("not a header of this program's log")), qPrintable(error));
        QCOMPARE(readAll(foreign), QByteArray("name,value\n"));
    }

    void logFileAppendsWholeRecords()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("log.csv"));
        QString error;
        // Two processes, many records each, into one log: whole lines only.
        QVERIFY(inProcesses(2, [&](int index) {
            LogFileStore store(csv);
            DeviceRecord r = sampleRecord();
            r.host = QStringLiteral("p%1").arg(index);
            QString e;
            for (int i = 0; i < 50; ++i)
                if (!store.append(r, &e))
                    return false;
            return true;
        }));
        const QList<QByteArray> lines = readAll(csv).split('\n');
        QCOMPARE(lines.size(), 102); // header, 100 rows, empty after the last line end
        QCOMPARE(lines.first(), DeviceRecord::csvHeader().toUtf8());
        const QByteArray row = sampleRecord().csvRow().toUtf8();
        for (int i = 1; i <= 100; ++i)
            QVERIFY(lines.at(i) == QByteArray(row).replace("line-2", "p0") || lines.at(i) == QByteArray(row).replace("line-2", "p1"));

        LogFileStore json(dir.filePath(QStringLiteral("log.jsonl")));
        QVERIFY(json.open(&error));
        QVERIFY(json.append(sampleRecord(), &error));
        QCOMPARE(readAll(json.name()), sampleRecord().jsonLine() + '\n');

        LogFileStore missing(dir.filePath(QStringLiteral("no/such/log.csv")));
        QVERIFY(!missing.open(&error));
        QVERIFY2(error.endsWith(QStringLiteral("No such file or directory")), qPrintable(error));
        LogFileStore full(QStringLiteral("/dev/full"));
        QVERIFY(!full.append(sampleRecord(), &error));
        QVERIFY2(error.endsWith(QStringLiteral("No space left on device")), qPrintable(error));
    }

    void stateFileSharedByProcesses()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath(QStringLiteral("serial.state"));
        const QString taken = dir.filePath(QStringLiteral("taken"));
        // Four processes reserve, pass every other and fail the rest.
        QVERIFY(inProcesses(4, [&](int index) {
            SerialStateFile source(state, serialForm(500));
            QString e;
            QFile numbers(taken + QString::number(index));
            numbers.open(QIODevice::WriteOnly);
            for (int i = 0; i < 25; ++i) {
                const std::optional<quint64> n = source.reserve(&e);
                if (!n)
                    return false;
                const bool pass = (i + index) % 2 == 0;
                if (!(pass ? source.commit(*n, &e) : source.release(*n, &e)))
                    return false;
                if (pass)
                    numbers.write(QByteArray::number(*n) + '\n');
            }
            return true;
        }));
        QSet<quint64> used;
        for (int i = 0; i < 4; ++i)
            for (const QByteArray &n : readAll(taken + QString::number(i)).split('\n'))
                if (!n.isEmpty()) {
                    QVERIFY2(!used.contains(n.toULongLong()), n.constData());
                    used.insert(n.toULongLong());
                }
        QCOMPARE(used.size(), 50);

        // A restart continues: the released numbers first, then the next.
        SerialStateFile again(state, serialForm(500));
        QString error;
        QVERIFY(again.open(&error));
        const std::optional<quint64> next = again.reserve(&error);
        QVERIFY(next && !used.contains(*next));
        QVERIFY(*next >= 500 && *next < 600);

        // A process that dies holding a number gives it back to the next one.
        const std::optional<quint64> expected = again.peek(&error);
        QVERIFY(inProcesses(1, [&](int) {
            QString e;
            SerialStateFile crashing(state, serialForm(500));
            return crashing.reserve(&e) == expected;
        }));
        QCOMPARE(again.reserve(&error), expected);

        // A damaged state file is refused, not started afresh.
        QFile damaged(state);
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("next ten\n");
        damaged.close();
        QVERIFY(!again.open(&error));
        QVERIFY2(error.contains(QStringLiteral("not a serial state file")), qPrintable(error));
        SerialStateFile unwritable(dir.filePath(QStringLiteral("missing/serial.state")), serialForm(1));
        QVERIFY(!unwritable.open(&error));
    }

    // A state file keeps the form it was made for: another address, start,
    // step, form or width is refused with both shown; a file of an older
    // version, which names no form, takes the one given.
    void stateFileKeepsItsForm()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath(QStringLiteral("serial.state"));
        const SerialFormat kept = serialForm(1000);
        QString error;
        SerialStateFile first(state, kept);
        QCOMPARE(first.reserve(&error), std::optional<quint64>(1000));
        QVERIFY(first.commit(1000, &error));
        QList<SerialFormat> others(5, kept);
        others[0].address = 0x7F4;
        others[1].start = 5000;
        others[2].step = 2;
        others[3].form = SerialFormat::Form::Be;
        others[4].bytes = 3;
        for (const SerialFormat &other : others) {
            SerialStateFile changed(state, other);
            QVERIFY(!changed.open(&error));
            QCOMPARE(error, QStringLiteral("The serial state %1 keeps %2; the options ask for %3. Give the kept form, or "
                                           "start a new state file.")
                                .arg(state, kept.describe(), other.describe()));
        }
        QCOMPARE(SerialStateFile(state, kept).peek(&error), std::optional<quint64>(1001));

        QFile older(state);
        QVERIFY(older.open(QIODevice::WriteOnly | QIODevice::Truncate));
        older.write("next 1020\nreleased\n");
        older.close();
        QCOMPARE(SerialStateFile(state, others[1]).peek(&error), std::optional<quint64>(1020));
        QVERIFY(!SerialStateFile(state, kept).open(&error));
        QVERIFY2(error.contains(QLatin1String("keeps address 07F0, start 5000, step 1, le, 4 bytes")), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestProduction)
#include "tst_production.moc"
