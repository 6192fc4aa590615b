// The report's questions against records on SQLite and PostgreSQL: counts
// by job and lot, by bench and by failing step, the hours of a day with
// its empty hours, the newest records, hostile texts as filters, and a
// database of the previous schema read as it is, then upgraded.
#include "DatabaseLocation.h"
#include "DeviceRecord.h"
#include "HostileRecord.h"
#include "ProductionDatabase.h"
#include "ProductionReport.h"
#include "RecordSummary.h"
#include "SqlRecordStore.h"
#include "TestDatabase.h"

#include <QTest>
#include <QTimeZone>
#include <memory>

namespace {

const QString Abort = QStringLiteral("Command......Abort");

// A device of job and lot on a bench; passed without a failure text,
// else failed at that text after the steps before it passed.
DeviceRecord device(const QDateTime &time, const QString &job, const QString &lot, const QString &host, const QString &port,
                    const QStringList &failure = {})
{
    DeviceRecord r;
    r.time = time;
    r.host = host;
    r.portEntry = port;
    r.device = QStringLiteral("AT89C2051");
    r.commands = {QStringLiteral("auto")};
    r.jobName = job;
    r.jobSha256 = job.isEmpty() ? QString() : QString(64, QLatin1Char('c'));
    r.lot = lot;
    r.passed = failure.isEmpty();
    r.outcome = r.passed ? QStringList{QStringLiteral("Erase.........Pass"), QStringLiteral("Auto Program..Pass")}
                         : failure + QStringList{Abort};
    return r;
}

QDateTime utc(int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute), QTimeZone::utc());
}

QDateTime hourOf(const QDateTime &time)
{
    const QDateTime u = time.toUTC();
    return QDateTime(u.date(), QTime(u.time().hour(), 0), Qt::UTC);
}

} // namespace

class TestProductionReport : public QObject
{
    Q_OBJECT

    TestDatabase databases;
    QString location;
    std::shared_ptr<ProductionDatabase> db;

    bool store(const QList<DeviceRecord> &records) { return TestDatabase::storeRecords(db, records); }

    RecordSummary summaryOf(const ReportFilter &filter)
    {
        RecordSummary s;
        QString error;
        ProductionReport report(*db);
        if (!report.summary(filter, &s, &error))
            qWarning("%s", qPrintable(error));
        return s;
    }

    QList<DeviceRecord> latestOf(const ReportFilter &filter, int limit)
    {
        QList<DeviceRecord> out;
        QString error;
        ProductionReport report(*db);
        if (!report.latest(filter, limit, [&out](const DeviceRecord &r) { out << r; }, &error))
            qWarning("%s", qPrintable(error));
        return out;
    }

private slots:
    void initTestCase() { QVERIFY2(!TestDatabase::sharedServer().isEmpty(), "TARVO_TEST_PG_DIR is not set: run under CTest"); }
    void init()
    {
        // The test of texts alone needs no database.
        const QByteArray backend = QTest::currentDataTag();
        if (backend != "sqlite" && backend != "postgres")
            return;
        QString error;
        location = databases.fresh(QString::fromLatin1(QTest::currentDataTag()));
        db = std::make_shared<ProductionDatabase>(DatabaseLocation::parse(location));
        QVERIFY2(db->open(&error), qPrintable(error));
    }
    void cleanup() { db.reset(); }

    // The step a failed device stopped at, from the texts its run ended
    // with: the failure stands above the abort, whatever passed before.
    void failedStepFromTheTexts_data()
    {
        QTest::addColumn<QStringList>("outcome");
        QTest::addColumn<QString>("step");
        QTest::newRow("erase nak") << QStringList{"Erase.........Fail", Abort} << "erase";
        QTest::newRow("erase time-out") << QStringList{"Erase.....Time-Out", Abort} << "erase";
        QTest::newRow("blank error") << QStringList{"Erase.........Pass", "Blank Check..Error", Abort} << "blank";
        QTest::newRow("program report") << QStringList{"Erase.........Pass", "Blank.........Pass", "Program..Fail:01A3", Abort}
                                        << "program";
        QTest::newRow("program break") << QStringList{"Program......Break", Abort} << "program";
        QTest::newRow("verify after program")
            << QStringList{"Erase.........Pass", "Blank.........Pass", "Program.......Pass", "Verify...Fail:0012", Abort}
            << "verify";
        QTest::newRow("auto lock") << QStringList{"Program.......Pass", "Verify........Pass", "Lock.........Error", Abort}
                                   << "lock";
        QTest::newRow("lock 3 bits") << QStringList{"Lock1,2,3.....Fail", Abort} << "lock";
        QTest::newRow("read") << QStringList{"Read.........Error", Abort} << "other";
        QTest::newRow("fuse write after a pass") << QStringList{"Program.......Pass", "fuse-write 1F Fail"} << "other";
        QTest::newRow("no command") << QStringList{"No Command Select?", Abort} << "other";
        QTest::newRow("nothing shown") << QStringList{} << "other";
        // A second command of the device failed: its text, not the first's.
        QTest::newRow("second command") << QStringList{"Erase.........Pass", "Verify.......Error", Abort} << "verify";
    }
    void failedStepFromTheTexts()
    {
        QFETCH(QStringList, outcome);
        QFETCH(QString, step);
        QCOMPARE(DeviceRecord::failedStepOf(outcome), step);
        DeviceRecord r;
        r.outcome = outcome;
        r.passed = true;
        QCOMPARE(r.failedStep(), QString());
    }

    // Devices of two jobs, three lots and three benches, failed at four
    // steps: each grouping, the filters, the yield and the step that
    // failed most.
    void groupingsAndFilters_data() { TestDatabase::addBackendRows(); }
    void groupingsAndFilters()
    {
        const QString j1 = QStringLiteral("Board A"), j2 = QStringLiteral("Board B");
        const QString l1 = QStringLiteral("L-1"), l2 = QStringLiteral("L-2");
        const QString h1 = QStringLiteral("bench-1"), h2 = QStringLiteral("bench-2");
        const QString com1 = QStringLiteral("Com1"), com2 = QStringLiteral("Com2");
        QVERIFY(store({
            device(utc(1, 8), j1, l1, h1, com1),
            device(utc(1, 9), j1, l1, h1, com1, {"Program.......Pass", "Verify...Fail:0123"}),
            device(utc(1, 10), j1, l2, h1, com2, {"Program..Fail:0040"}),
            device(utc(2, 8), j1, l2, h2, com1, {"Erase.........Pass", "Program......Error"}),
            device(utc(2, 9), j2, QString(), h2, com1),
            device(utc(2, 10), QString(), QString(), h2, com1, {"Erase.....Time-Out"}),
            device(utc(2, 11), j2, QString(), h2, com1, {"Lock1,2.......Fail"}),
        }));

        RecordSummary all = summaryOf({});
        QCOMPARE(all.total, (RecordCounts{2, 5}));
        QCOMPARE(all.byJobLot, (QMap<QPair<QString, QString>, RecordCounts>{{{j1, l1}, {1, 1}},
                                                                            {{j1, l2}, {0, 2}},
                                                                            {{j2, QString()}, {1, 1}},
                                                                            {{QString(), QString()}, {0, 1}}}));
        QCOMPARE(all.byBench, (QMap<QPair<QString, QString>, RecordCounts>{
                                  {{h1, com1}, {1, 1}}, {{h1, com2}, {0, 1}}, {{h2, com1}, {1, 3}}}));
        QCOMPARE(all.failedSteps, (QMap<QString, qint64>{{"erase", 1}, {"program", 2}, {"verify", 1}, {"lock", 1}}));
        QCOMPARE(all.mostFailedStep(), QStringLiteral("program"));
        QCOMPARE(all.byDay, (QMap<QString, RecordCounts>{{"2026-12-01", {1, 2}}, {"2026-12-02", {1, 3}}}));
        QCOMPARE(qRound(*all.total.yieldPercent() * 100), 2857);

        const RecordSummary board = summaryOf({QString(), j1, QString()});
        QCOMPARE(board.total, (RecordCounts{1, 3}));
        QCOMPARE(board.failedSteps, (QMap<QString, qint64>{{"program", 2}, {"verify", 1}}));
        QCOMPARE(board.byBench.size(), 3);
        QCOMPARE(summaryOf({QString(), j1, l2}).total, (RecordCounts{0, 2}));
        QCOMPARE(summaryOf({QString(), QString(), l2}).total, (RecordCounts{0, 2}));
        // A filter with since: the day, then a time within it.
        const RecordSummary day2 = summaryOf({QStringLiteral("2026-12-02"), j1, QString()});
        QCOMPARE(day2.total, (RecordCounts{0, 1}));
        QCOMPARE(day2.failedSteps, (QMap<QString, qint64>{{"program", 1}}));
        QCOMPARE(summaryOf({QStringLiteral("2026-12-02T10:00:00Z"), QString(), QString()}).total, (RecordCounts{0, 2}));
        // Nothing matches: empty, and no step failed most.
        const RecordSummary none = summaryOf({QString(), QStringLiteral("Board C"), QString()});
        QCOMPARE(none, RecordSummary());
        QCOMPARE(none.mostFailedStep(), QString());
        QVERIFY(!none.total.yieldPercent());

        // Steps failed equally often: the earlier in a device's run.
        const RecordSummary tie = summaryOf({QStringLiteral("2026-12-02"), QString(), QString()});
        QCOMPARE(tie.failedSteps, (QMap<QString, qint64>{{"erase", 1}, {"program", 1}, {"lock", 1}}));
        QCOMPARE(tie.mostFailedStep(), QStringLiteral("erase"));

        RecordSummary refused;
        QString error;
        ProductionReport report(*db);
        QVERIFY(!report.summary(ReportFilter{QStringLiteral("today"), j1, QString()}, &refused, &error));
        QVERIFY2(error.startsWith(QLatin1String("--since wants a day")), qPrintable(error));
    }

    // The newest records first, at most the limit; the same time falls
    // back to the order written; a filter and since hold.
    void latestNewestFirst_data() { TestDatabase::addBackendRows(); }
    void latestNewestFirst()
    {
        const QString j = QStringLiteral("J");
        // Written out of time order, as benches with their own clocks do.
        QList<DeviceRecord> written = {
            device(utc(1, 9), j, QString(), QStringLiteral("a"), QStringLiteral("Com1")),
            device(utc(1, 12), j, QString(), QStringLiteral("b"), QStringLiteral("Com1")),
            device(utc(1, 10), QStringLiteral("K"), QString(), QStringLiteral("c"), QStringLiteral("Com1")),
            device(utc(1, 12), j, QString(), QStringLiteral("d"), QStringLiteral("Com1")),
            device(utc(1, 11), j, QString(), QStringLiteral("e"), QStringLiteral("Com1"), {"Erase.........Fail"}),
        };
        QVERIFY(store(written));
        const auto hosts = [](const QList<DeviceRecord> &records) {
            QStringList out;
            for (const DeviceRecord &r : records)
                out << r.host;
            return out;
        };
        QCOMPARE(hosts(latestOf({}, 3)), (QStringList{"d", "b", "e"}));
        QCOMPARE(hosts(latestOf({}, 50)), (QStringList{"d", "b", "e", "c", "a"}));
        QCOMPARE(hosts(latestOf({QString(), j, QString()}, 10)), (QStringList{"d", "b", "e", "a"}));
        QCOMPARE(hosts(latestOf({QStringLiteral("2026-12-01T10:30:00Z"), j, QString()}, 10)), (QStringList{"d", "b", "e"}));
        // Every field comes back.
        QCOMPARE(latestOf({}, 1).value(0), written[3]);

        QString error;
        ProductionReport report(*db);
        int visited = 0;
        QVERIFY(!report.latest({}, 0, [&visited](const DeviceRecord &) { ++visited; }, &error));
        QVERIFY2(error.contains(QLatin1String("1 or more")), qPrintable(error));
        QCOMPARE(visited, 0);
    }

    // Devices per hour from a time on: every hour to now is there, hours
    // without devices too; devices before it or still to come are not.
    void hoursWithEmptyHours_data() { TestDatabase::addBackendRows(); }
    void hoursWithEmptyHours()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QDateTime thisHour = hourOf(now);
        const QDateTime since = thisHour.addSecs(-5 * 3600 + 1800);
        const QString h = QStringLiteral("bench");
        const QString c = QStringLiteral("Com1");
        QVERIFY(store({
            device(thisHour.addSecs(-3 * 3600 + 60), QString(), QString(), h, c),
            device(thisHour.addSecs(-3 * 3600 + 3540).toOffsetFromUtc(7 * 3600), QString(), QString(), h, c, {"Erase.........Fail"}),
            device(thisHour.addSecs(-3600), QString(), QString(), h, c),
            device(thisHour.addSecs(-30 * 3600), QString(), QString(), h, c),
            device(thisHour.addSecs(-5 * 3600), QString(), QString(), h, c),
            device(thisHour.addSecs(3 * 3600), QString(), QString(), h, c),
        }));
        QList<HourCounts> hours;
        QString error;
        ProductionReport report(*db);
        QVERIFY2(report.hours(since, &hours, &error), qPrintable(error));
        const QDateTime after = hourOf(QDateTime::currentDateTimeUtc());
        QVERIFY(hours.size() >= 6);
        QCOMPARE(hours.first().hour, thisHour.addSecs(-5 * 3600));
        QCOMPARE(hours.last().hour, after);
        QMap<QDateTime, RecordCounts> counted;
        for (qsizetype i = 0; i < hours.size(); ++i) {
            QCOMPARE(hours.at(i).hour, hours.first().hour.addSecs(i * 3600));
            QCOMPARE(hours.at(i).hour.timeSpec(), Qt::UTC);
            if (hours.at(i).counts.devices() > 0)
                counted.insert(hours.at(i).hour, hours.at(i).counts);
        }
        // The hour of since counts from its start: its device is in.
        QCOMPARE(counted, (QMap<QDateTime, RecordCounts>{{thisHour.addSecs(-5 * 3600), {1, 0}},
                                                         {thisHour.addSecs(-3 * 3600), {1, 1}},
                                                         {thisHour.addSecs(-3600), {1, 0}}}));

        QVERIFY2(report.hours(now.addSecs(7200), &hours, &error), qPrintable(error));
        QVERIFY(hours.isEmpty());
        QVERIFY(!report.hours(now.addDays(-40), &hours, &error));
        QVERIFY2(error.contains(QLatin1String("31 days")), qPrintable(error));
        QVERIFY(hours.isEmpty());
        QVERIFY2(report.hours(now.addSecs(-(ProductionReport::MaxHours - 1) * 3600), &hours, &error), qPrintable(error));
        QCOMPARE(hours.size(), ProductionReport::MaxHours);
    }

    // Texts that break careless SQL or markup, as stored values and as
    // filters: they round-trip, match only themselves and change nothing.
    void hostileTextsAsValuesAndFilters_data() { TestDatabase::addBackendRows(); }
    void hostileTextsAsValuesAndFilters()
    {
        DeviceRecord hostile = hostileRecord();
        DeviceRecord quoted = hostileRecord();
        quoted.jobName = QStringLiteral("'; DROP TABLE tarvo_records; --");
        quoted.lot = QString::fromUtf8("ล็อต \\' OR '1'='1");
        quoted.passed = true;
        QVERIFY(store({hostile, quoted}));

        QCOMPARE(latestOf({QString(), hostile.jobName, hostile.lot}, 5), QList<DeviceRecord>{hostile});
        QCOMPARE(latestOf({QString(), quoted.jobName, quoted.lot}, 5), QList<DeviceRecord>{quoted});
        QCOMPARE(latestOf({QString(), quoted.jobName, QStringLiteral("' OR '1'='1")}, 5), QList<DeviceRecord>{});
        const RecordSummary s = summaryOf({});
        QCOMPARE(s.byJobLot.value({hostile.jobName, hostile.lot}), (RecordCounts{0, 1}));
        QCOMPARE(s.byJobLot.value({quoted.jobName, quoted.lot}), (RecordCounts{1, 0}));
        QCOMPARE(s.byBench.value({hostile.host, hostile.portEntry}), (RecordCounts{1, 1}));
        QCOMPARE(TestDatabase::scalar(location, QStringLiteral("SELECT COUNT(*) FROM tarvo_records")).toInt(), 2);
    }

    // A database of the schema before jobs, read by a newer report: the
    // job's fields read as empty, a job filter matches nothing, nothing
    // changes. A bench's first use upgrades it, rows kept, indexes made.
    void previousSchemaReadThenUpgraded_data() { TestDatabase::addBackendRows(); }
    void previousSchemaReadThenUpgraded()
    {
        DeviceRecord old = device(utc(1, 8), QStringLiteral("J"), QStringLiteral("L"), QStringLiteral("h"),
                                  QStringLiteral("Com1"), {"Verify...Fail:0001"});
        QVERIFY(store({old}));
        db.reset();
        QString error;
        QVERIFY2(TestDatabase::backToSchema(location, 3, &error), qPrintable(error));
        old.jobName.clear();
        old.jobSha256.clear();
        old.lot.clear();

        db = std::make_shared<ProductionDatabase>(DatabaseLocation::parse(location));
        QVERIFY2(db->open(&error, ProductionDatabase::OpenMode::Existing), qPrintable(error));
        QCOMPARE(db->schemaVersion(), 3);
        QCOMPARE(db->recordForm(), 2);
        RecordSummary s = summaryOf({});
        QCOMPARE(s.byJobLot, (QMap<QPair<QString, QString>, RecordCounts>{{{QString(), QString()}, {0, 1}}}));
        QCOMPARE(s.failedSteps, (QMap<QString, qint64>{{"verify", 1}}));
        QCOMPARE(summaryOf({QString(), QStringLiteral("J"), QString()}).total, RecordCounts());
        QCOMPARE(latestOf({}, 5), QList<DeviceRecord>{old});
        QList<DeviceRecord> all;
        ProductionReport report(*db);
        QVERIFY2(report.records(QString(), [&all](const DeviceRecord &r) { all << r; }, &error), qPrintable(error));
        QCOMPARE(all, QList<DeviceRecord>{old});
        QCOMPARE(TestDatabase::scalar(location, QStringLiteral("SELECT version FROM tarvo_schema")).toInt(), 3);

        db = std::make_shared<ProductionDatabase>(DatabaseLocation::parse(location));
        QVERIFY2(db->open(&error), qPrintable(error));
        QCOMPARE(db->schemaVersion(), ProductionDatabase::SchemaVersion);
        const DeviceRecord next = device(utc(1, 9), QStringLiteral("J"), QStringLiteral("L"), QStringLiteral("h"),
                                         QStringLiteral("Com1"));
        QVERIFY(store({next}));
        QCOMPARE(latestOf({}, 5), (QList<DeviceRecord>{next, old}));
        QCOMPARE(summaryOf({QString(), QStringLiteral("J"), QStringLiteral("L")}).total, (RecordCounts{1, 0}));
        const bool postgres = QByteArray(QTest::currentDataTag()) == "postgres";
        const QString indexes = TestDatabase::scalar(
            location, postgres ? QStringLiteral("SELECT string_agg(indexname, ' ' ORDER BY indexname) FROM pg_indexes "
                                                "WHERE tablename = 'tarvo_records' AND indexname LIKE 'tarvo_records_by_%'")
                               : QStringLiteral("SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_master WHERE "
                                                "type = 'index' AND tbl_name = 'tarvo_records' AND name LIKE 'tarvo_records_by_%' "
                                                "ORDER BY name)")).toString();
        QCOMPARE(indexes, QStringLiteral("tarvo_records_by_bench tarvo_records_by_day tarvo_records_by_job tarvo_records_by_job_lot "
                                         "tarvo_records_by_record_id tarvo_records_by_time"));
    }
};

QTEST_GUILESS_MAIN(TestProductionReport)
#include "tst_productionreport.moc"
