// The records' daily counts against the records themselves, on SQLite and
// PostgreSQL: a summary by day, by time within a day or at its start, by job and
// lot equals the records counted one by one here; records written in bulk
// are counted too; a database of the previous schema is read as it is,
// then counted in its upgrade.
#include "BulkWriter.h"
#include "DatabaseLocation.h"
#include "DeviceRecord.h"
#include "ProductionDatabase.h"
#include "ProductionReport.h"
#include "RecordSummary.h"
#include "SqlRecordStore.h"
#include "TestDatabase.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>
#include <memory>

namespace {

const QString Abort = QStringLiteral("Command......Abort");
const QStringList Failures[] = {
    {"Erase.........Fail", Abort},
    {"Erase.........Pass", "Program..Fail:01A3", Abort},
    {"Program.......Pass", "Verify...Fail:0012", Abort},
    {"Program.......Pass", "Verify........Pass", "Lock.........Error", Abort},
    {"Read.........Error", Abort},
};

// Devices over three days of two benches in different time zones (so a
// bench's day is not the UTC day), two jobs, lots and none, failing at
// every step now and then; times fall anywhere in a day.
QList<DeviceRecord> lineOfDevices(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    const QTimeZone zones[] = {QTimeZone(7 * 3600), QTimeZone(-5 * 3600),
                               QTimeZone::utc()};
    const QDateTime start(QDate(2026, 12, 1), QTime(0, 0), QTimeZone::utc());
    QList<DeviceRecord> records;
    for (int n = 0; n < count; ++n) {
        DeviceRecord r;
        const int bench = int(random.bounded(3));
        r.time = start.addMSecs(random.bounded(3 * 86400000)).toTimeZone(zones[bench]);
        r.host = QStringLiteral("bench-%1").arg(bench);
        r.portEntry = QStringLiteral("Com%1").arg(1 + random.bounded(2));
        r.device = QLatin1String(random.bounded(2) ? "AT89C2051" : "ATmega8");
        r.commands = {QStringLiteral("auto")};
        const int job = int(random.bounded(3));
        r.jobName = job == 0 ? QString() : QStringLiteral("Board %1").arg(job);
        r.lot = job == 0 ? QString() : QStringLiteral("L-%1").arg(random.bounded(2));
        r.passed = random.bounded(4) != 0;
        r.outcome = r.passed ? QStringList{QStringLiteral("Auto Program..Pass")}
                             : Failures[random.bounded(int(std::size(Failures)))];
        records << r;
    }
    return records;
}

// What a summary of these records must say, counted here one by one.
RecordSummary expected(const QList<DeviceRecord> &records, const ReportFilter &filter)
{
    RecordSummary s;
    const QDate day = filter.since.size() == 10 ? QDate::fromString(filter.since, Qt::ISODate) : QDate();
    const QDateTime time = day.isValid() ? QDateTime() : QDateTime::fromString(filter.since, Qt::ISODateWithMs);
    for (const DeviceRecord &r : records) {
        if ((day.isValid() && r.time.date() < day) || (time.isValid() && r.time < time)
            || (!filter.job.isEmpty() && r.jobName != filter.job) || (!filter.lot.isEmpty() && r.lot != filter.lot))
            continue;
        for (RecordCounts *c : {&s.byDay[r.time.date().toString(Qt::ISODate)], &s.byDevice[r.device],
                                &s.byJobLot[{r.jobName, r.lot}], &s.byBench[{r.host, r.portEntry}], &s.total})
            (r.passed ? c->passed : c->failed) += 1;
        if (!r.passed)
            s.failedSteps[r.failedStep()] += 1;
    }
    return s;
}

// The filters a line's questions use: all, from each day, from times at
// a UTC day's start, within one, with an offset, before and after all, and
// by job and lot.
QList<ReportFilter> filters()
{
    QList<ReportFilter> out{{}};
    for (const char *since : {"2026-11-30", "2026-12-01", "2026-12-02", "2026-12-03", "2026-12-04",
                              "2026-12-02T00:00:00Z", "2026-12-02T00:00+07:00", "2026-12-02T10:17:30.250Z", "2026-12-01T23:59:59.999Z",
                              "2026-12-02T10:17+07:00", "2026-12-01T00:00:00.001-05:00", "2026-11-01T00:00Z",
                              "2026-12-09T00:00Z"})
        out << ReportFilter{QLatin1String(since), QString(), QString()};
    for (const char *job : {"Board 1", "Board 2", "Board 3"})
        for (const char *lot : {"", "L-0", "L-1"})
            for (const char *since : {"", "2026-12-02", "2026-12-02T13:45:10Z"})
                out << ReportFilter{QLatin1String(since), QLatin1String(job), QLatin1String(lot)};
    out << ReportFilter{QString(), QString(), QStringLiteral("L-1")};
    return out;
}

} // namespace

class TestRecordTally : public QObject
{
    Q_OBJECT

    TestDatabase databases;
    QString location;
    std::shared_ptr<ProductionDatabase> db;

    void open(ProductionDatabase::OpenMode mode = ProductionDatabase::OpenMode::Create)
    {
        db = std::make_shared<ProductionDatabase>(DatabaseLocation::parse(location));
        QString error;
        QVERIFY2(db->open(&error, mode), qPrintable(error));
    }

    bool store(const QList<DeviceRecord> &records) { return TestDatabase::storeRecords(db, records); }

    // Every filter's summary against the records counted here.
    bool summariesMatch(const QList<DeviceRecord> &records)
    {
        ProductionReport report(*db);
        for (const ReportFilter &filter : filters()) {
            RecordSummary s;
            QString error;
            if (!report.summary(filter, &s, &error)) {
                qWarning("%s", qPrintable(error));
                return false;
            }
            if (!(s == expected(records, filter))) {
                qWarning("since \"%s\", job \"%s\", lot \"%s\": %lld passed %lld failed, not %lld and %lld",
                         qPrintable(filter.since), qPrintable(filter.job), qPrintable(filter.lot), s.total.passed,
                         s.total.failed, expected(records, filter).total.passed, expected(records, filter).total.failed);
                return false;
            }
        }
        return true;
    }

    qint64 counted() const { return TestDatabase::countedDevices(location); }

private slots:
    void initTestCase() { QVERIFY2(!TestDatabase::sharedServer().isEmpty(), "TARVO_TEST_PG_DIR is not set: run under CTest"); }
    void init()
    {
        location = databases.fresh(QString::fromLatin1(QTest::currentDataTag()));
        open();
    }
    void cleanup() { db.reset(); }

    void summariesEqualTheRecords_data() { TestDatabase::addBackendRows(); }
    void summariesEqualTheRecords()
    {
        const QList<DeviceRecord> records = lineOfDevices(400, 1);
        QVERIFY(store(records));
        QCOMPARE(counted(), 400);
        // Far fewer rows than records: days of benches, not devices.
        QVERIFY(TestDatabase::scalar(location, QStringLiteral("SELECT COUNT(*) FROM tarvo_record_counts")).toInt() < 400);
        QVERIFY(summariesMatch(records));
    }

    // What a year of a line is made with: many records a transaction.
    void bulkWrittenRecordsCounted_data() { TestDatabase::addBackendRows(); }
    void bulkWrittenRecordsCounted()
    {
        const QList<DeviceRecord> first = lineOfDevices(700, 2), second = lineOfDevices(300, 3);
        BulkWriter writer(*db);
        QString error;
        QVERIFY2(writer.records(first, QString(), &error), qPrintable(error));
        QVERIFY2(writer.records(second, QString(), &error), qPrintable(error));
        QVERIFY(store(lineOfDevices(5, 4)));
        QCOMPARE(counted(), 1005);
        QVERIFY(summariesMatch(first + second + lineOfDevices(5, 4)));
    }

    // A database of the previous schema holds records: read as it is, it
    // is counted one by one; its first use by a bench counts them all and
    // its records from then on add to those counts.
    void previousSchemaCountedInItsUpgrade_data() { TestDatabase::addBackendRows(); }
    void previousSchemaCountedInItsUpgrade()
    {
        const QList<DeviceRecord> before = lineOfDevices(300, 5);
        QVERIFY(store(before));
        db.reset();
        QString error;
        QVERIFY2(TestDatabase::backToSchema(location, 5, &error), qPrintable(error));

        open(ProductionDatabase::OpenMode::Existing);
        QCOMPARE(db->schemaVersion(), 5);
        QVERIFY(summariesMatch(before));
        QVERIFY(!TestDatabase::scalar(location, QStringLiteral("SELECT COUNT(*) FROM tarvo_record_counts")).isValid());

        open();
        QCOMPARE(db->schemaVersion(), ProductionDatabase::SchemaVersion);
        QCOMPARE(counted(), 300);
        QVERIFY(summariesMatch(before));
        const QList<DeviceRecord> after = lineOfDevices(50, 6);
        QVERIFY(store(after));
        QVERIFY(summariesMatch(before + after));
    }

    // A bench of the previous version, still running when another bench
    // upgraded the database, writes its record as it always did (without
    // the failed step): refused with why, so its device does not pass
    // uncounted; nothing of it stays.
    void recordOfAnOlderProgramRefused_data() { TestDatabase::addBackendRows(); }
    void recordOfAnOlderProgramRefused()
    {
        QVERIFY(store(lineOfDevices(3, 7)));
        QString error;
        TestDatabase::scalar(location,
                             QStringLiteral("INSERT INTO tarvo_records (recorded_at, recorded_utc, record_day, host, port, "
                                            "passed, record_id) VALUES ('2026-12-01T10:00:00.000+00:00', "
                                            "'2026-12-01T10:00:00.000Z', '2026-12-01', 'old-bench', 'Com1', 1, 'r-old')"),
                             &error);
        QVERIFY2(error.contains(QLatin1String("counts its records by the day since schema version 6")), qPrintable(error));
        QCOMPARE(TestDatabase::scalar(location, QStringLiteral("SELECT COUNT(*) FROM tarvo_records")).toInt(), 3);
        QCOMPARE(counted(), 3);
    }
};

QTEST_GUILESS_MAIN(TestRecordTally)
#include "tst_recordtally.moc"
