// Production records in the database and the report over them, on SQLite
// and PostgreSQL: every field back as written, the counts by day and
// device, and a record the database refuses.
#include "DatabaseLocation.h"
#include "DeviceRecord.h"
#include "HostileRecord.h"
#include "ProductionDatabase.h"
#include "ProductionReport.h"
#include "RecordSummary.h"
#include "SqlRecordStore.h"
#include "TestDatabase.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimeZone>
#include <memory>

namespace {

DeviceRecord record(const QDateTime &time, const QString &device, bool passed)
{
    DeviceRecord r;
    r.time = time;
    r.host = QStringLiteral("line-2");
    r.portEntry = QStringLiteral("Com1");
    r.portPath = QStringLiteral("/dev/ttyS0");
    r.biosCode = QStringLiteral("15/08/2003");
    r.device = device;
    r.commands = {QStringLiteral("auto")};
    r.fileName = QStringLiteral("fw, \"final\" it's C:\\\\x\\\\n.hex");
    r.imageSha256 = QString(64, QLatin1Char('a'));
    r.bufferChecksum = QStringLiteral("1A2BH");
    r.outcome = passed ? QStringList{QStringLiteral("Erase.........Pass"), QStringLiteral("Lock Bit 2....Pass")}
                       : QStringList{QStringLiteral("Program..Fail:01A3"), QStringLiteral("Command......Abort")};
    r.passed = passed;
    r.durationMs = 4321;
    r.successCount = passed ? 1 : 0;
    r.failureCount = passed ? 0 : 1;
    return r;
}

} // namespace

class TestSqlRecords : public QObject
{
    Q_OBJECT

    TestDatabase databases;
    QString location;
    std::shared_ptr<ProductionDatabase> db;

    // The records from since on, in CSV; or the error.
    QStringList csvLines(const QString &since)
    {
        QStringList lines;
        QString error;
        ProductionReport report(*db);
        if (!report.records(since, [&lines](const DeviceRecord &r) { lines << r.csvRow(); }, &error))
            lines << QStringLiteral("error: ") + error;
        return lines;
    }

private slots:
    void initTestCase() { QVERIFY2(!TestDatabase::sharedServer().isEmpty(), "TARVO_TEST_PG_DIR is not set: run under CTest"); }
    void init()
    {
        QString error;
        location = databases.fresh(QString::fromLatin1(QTest::currentDataTag()));
        db = std::make_shared<ProductionDatabase>(DatabaseLocation::parse(location));
        QVERIFY2(db->open(&error), qPrintable(error));
    }
    void cleanup() { db.reset(); }

    void recordsAndReport_data() { TestDatabase::addBackendRows(); }
    void recordsAndReport()
    {
        const QTimeZone bangkok(7 * 3600);
        // 23:30 in Bangkok is still the 1st there, though the 1st's 16:30 UTC.
        QList<DeviceRecord> written = {
            record(QDateTime(QDate(2026, 12, 1), QTime(8, 0, 0, 5), bangkok), QStringLiteral("AT89C2051"), true),
            record(QDateTime(QDate(2026, 12, 1), QTime(23, 30), bangkok), QStringLiteral("AT89C2051"), false),
            record(QDateTime(QDate(2026, 12, 2), QTime(9, 15), bangkok), QStringLiteral("AT89S52"), true),
            record(QDateTime(QDate(2026, 12, 2), QTime(9, 16), QTimeZone(0)), QStringLiteral("AT89C2051"), true),
        };
        written[0].serial = 18446744073709551615ull; // eight bytes, all set
        written[0].serialText = QStringLiteral("FF FF FF FF FF FF FF FF");
        written[2].serial = 1000;
        written[2].host.clear();
        SqlRecordStore store(db);
        store.setSequenceName(QStringLiteral("board"));
        QString error;
        QVERIFY2(store.open(&error), qPrintable(error));
        for (const DeviceRecord &r : written)
            QVERIFY2(store.append(r, &error), qPrintable(error));

        // Every field comes back as written: the CSV equals the log's.
        QStringList expected;
        for (const DeviceRecord &r : written)
            expected << r.csvRow();
        QCOMPARE(csvLines(QString()), expected);
        QCOMPARE(csvLines(QStringLiteral("2026-12-02")), QStringList({expected[2], expected[3]}));
        QCOMPARE(csvLines(QStringLiteral("2026-12-01T16:30:00Z")), QStringList({expected[1], expected[2], expected[3]}));
        const QStringList refused = csvLines(QStringLiteral("yesterday"));
        QCOMPARE(refused.size(), 1);
        QVERIFY(refused.first().contains(QLatin1String("--since wants a day")));
        QVERIFY(!ProductionReport::checkSince(QStringLiteral("2026-12-32"), &error));
        QVERIFY(ProductionReport::checkSince(QStringLiteral("2026-12-01T14:00+07:00"), &error));

        ProductionReport report(*db);
        RecordSummary summary;
        QVERIFY2(report.summary(QString(), &summary, &error), qPrintable(error));
        RecordSummary counted;
        counted.byDay = {{QStringLiteral("2026-12-01"), {1, 1}}, {QStringLiteral("2026-12-02"), {2, 0}}};
        counted.byDevice = {{QStringLiteral("AT89C2051"), {2, 1}}, {QStringLiteral("AT89S52"), {1, 0}}};
        counted.byJobLot = {{{QString(), QString()}, {3, 1}}};
        counted.byBench = {{{QStringLiteral("line-2"), QStringLiteral("Com1")}, {2, 1}},
                           {{QString(), QStringLiteral("Com1")}, {1, 0}}};
        counted.failedSteps = {{QStringLiteral("program"), 1}};
        counted.total = {3, 1};
        QCOMPARE(summary, counted);
        QVERIFY2(report.summary(QStringLiteral("2026-12-02"), &summary, &error), qPrintable(error));
        QCOMPARE(summary.total, (RecordCounts{2, 0}));
        QCOMPARE(summary.byDay.keys(), QStringList{QStringLiteral("2026-12-02")});
        QVERIFY(!report.summary(QStringLiteral("monday"), &summary, &error));
        QVERIFY(error.startsWith(QLatin1String("--since wants a day")));
    }

    // A record with every field set, and one with none, come back equal.
    void recordsReadBack_data() { recordsAndReport_data(); }
    void recordsReadBack()
    {
        DeviceRecord bare;
        bare.time = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone(-9 * 3600 - 1800));
        const QList<DeviceRecord> written = {hostileRecord(), bare};
        SqlRecordStore store(db);
        QString error;
        for (const DeviceRecord &r : written)
            QVERIFY2(store.append(r, &error), qPrintable(error));
        QList<DeviceRecord> read;
        ProductionReport report(*db);
        QVERIFY2(report.records(QString(), [&read](const DeviceRecord &r) { read << r; }, &error), qPrintable(error));
        QCOMPARE(read, written);
        for (qsizetype i = 0; i < read.size(); ++i)
            QCOMPARE(read.at(i).timeText(), written.at(i).timeText());
        QCOMPARE(TestDatabase::scalar(location, QStringLiteral("SELECT COUNT(*) FROM tarvo_records WHERE serial IS NULL AND "
                                                               "serial_sequence IS NULL AND host = ''")).toInt(), 1);
        // The columns hold what rows already stored hold: older rows read back.
        const QList<std::pair<const char *, QString>> stored = {
            {"recorded_at", QStringLiteral("2026-12-01T23:59:59.007+07:00")},
            {"recorded_utc", QStringLiteral("2026-12-01T16:59:59.007Z")},
            {"record_day", QStringLiteral("2026-12-01")},
            {"commands", QStringLiteral("erase program lock2")},
            {"outcome", QString::fromUtf8("Program..Fail:01A3 ทดสอบ, \"x\" \\\nCommand......Abort")},
            {"serial", QStringLiteral("18446744073709551615")},
            {"passed", QStringLiteral("0")},
            {"duration_ms", QStringLiteral("9007199254740993")},
            {"pid", QString::number(QCoreApplication::applicationPid())},
        };
        for (const auto &[column, value] : stored)
            QCOMPARE(TestDatabase::scalar(location, QStringLiteral("SELECT %1 FROM tarvo_records ORDER BY id LIMIT 1")
                                                        .arg(QLatin1String(column))).toString(), value);
    }

    // Databases already made keep working: the table is made as it always was.
    void schemaAsStored_data() { recordsAndReport_data(); }
    void schemaAsStored()
    {
        const bool postgres = QByteArray(QTest::currentDataTag()) == "postgres";
        const QString made = TestDatabase::scalar(
                                 location, postgres ? QStringLiteral("SELECT string_agg(column_name || ' ' || data_type || ' ' || is_nullable, "
                                                                     "', ' ORDER BY ordinal_position) FROM information_schema.columns "
                                                                     "WHERE table_name = 'tarvo_records' AND table_schema = current_schema()")
                                                    : QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'tarvo_records'"))
                                 .toString();
        QCOMPARE(made, postgres ? QStringLiteral("id bigint NO, recorded_at text NO, recorded_utc text NO, record_day text NO, "
                                                 "host text YES, pid bigint YES, port text YES, port_path text YES, bios_code text YES, "
                                                 "device text YES, commands text YES, file text YES, image_sha256 text YES, "
                                                 "buffer_sum text YES, serial_sequence text YES, serial text YES, serial_text text YES, "
                                                 "outcome text YES, passed integer NO, duration_ms bigint YES, success integer YES, "
                                                 "failure integer YES, record_id text YES, tool_version text YES, fuse_value text YES, "
                                                 "scanned_code text YES, job_name text YES, job_sha256 text YES, "
                                                 "operator_name text YES, lot text YES, failed_step text YES")
                                : QStringLiteral("CREATE TABLE tarvo_records ( id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                                 "recorded_at TEXT NOT NULL, recorded_utc TEXT NOT NULL, record_day TEXT NOT NULL, "
                                                 "host TEXT, pid BIGINT, port TEXT, port_path TEXT, bios_code TEXT, device TEXT, "
                                                 "commands TEXT, file TEXT, image_sha256 TEXT, buffer_sum TEXT, serial_sequence TEXT, "
                                                 "serial TEXT, serial_text TEXT, outcome TEXT, passed INTEGER NOT NULL, "
                                                 "duration_ms BIGINT, success INTEGER, failure INTEGER, record_id TEXT, tool_version TEXT, "
                                                 "fuse_value TEXT, scanned_code TEXT, job_name TEXT, job_sha256 TEXT, "
                                                 "operator_name TEXT, lot TEXT, failed_step TEXT)"));
    }

    // The database refuses the row: append says so with the driver's text,
    // after its one retry, and nothing is half written.
    void refusedRecord_data() { recordsAndReport_data(); }
    void refusedRecord()
    {
        QString error;
        TestDatabase::scalar(location, QStringLiteral("CREATE TRIGGER no_more BEFORE INSERT ON tarvo_records "
                                                      "BEGIN SELECT RAISE(ABORT, 'records are closed'); END"), &error);
        if (QByteArray(QTest::currentDataTag()) == "postgres") {
            error.clear();
            TestDatabase::scalar(location, QStringLiteral("ALTER TABLE tarvo_records ADD CONSTRAINT records_are_closed "
                                                          "CHECK (passed < 0) NOT VALID"), &error);
        }
        QVERIFY2(error.isEmpty(), qPrintable(error));
        SqlRecordStore store(db);
        QVERIFY(!store.append(record(QDateTime::currentDateTime(), QStringLiteral("AT89C2051"), true), &error));
        QVERIFY2(error.startsWith(QStringLiteral("The database %1 cannot be used: ").arg(location)), qPrintable(error));
        QVERIFY2(error.contains(QLatin1String("records are closed")) || error.contains(QLatin1String("records_are_closed")),
                 qPrintable(error));
        QCOMPARE(TestDatabase::scalar(location, QStringLiteral("SELECT COUNT(*) FROM tarvo_records")).toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSqlRecords)
#include "tst_sqlrecords.moc"
