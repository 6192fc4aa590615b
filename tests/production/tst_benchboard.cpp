// The benches' rows on SQLite and PostgreSQL: the states of a bench through
// its devices, the row written with the record or not at all, and when the
// reader calls a quiet bench gone.
#include "BenchBoard.h"
#include "BenchLiveness.h"
#include "DatabaseLocation.h"
#include "DeviceCommand.h"
#include "DeviceRecord.h"
#include "ProductionDatabase.h"
#include "SqlRecordStore.h"
#include "TestDatabase.h"

#include <QSysInfo>
#include <QTest>
#include <memory>

namespace {

DeviceRecord deviceRecord(bool passed)
{
    DeviceRecord r;
    r.time = QDateTime::currentDateTime();
    r.host = QSysInfo::machineHostName();
    r.portEntry = QStringLiteral("Com'1; <b>");
    r.commands = {QStringLiteral("erase"), QStringLiteral("program")};
    r.outcome = passed ? QStringList{QStringLiteral("Program.......Pass")}
                       : QStringList{QStringLiteral("Program..Fail:01A3"), QStringLiteral("Command......Abort")};
    r.passed = passed;
    return r;
}

} // namespace

class TestBenchBoard : public QObject
{
    Q_OBJECT

    TestDatabase databases;
    QString location;
    std::shared_ptr<ProductionDatabase> db;

    BenchRow onlyRow() { return TestDatabase::onlyBench(location); }
    QString state() { return onlyRow().state; }
    qint64 records() { return TestDatabase::recordCount(location); }

private slots:
    void initTestCase() { QVERIFY2(!TestDatabase::sharedServer().isEmpty(), "TARVO_TEST_PG_DIR is not set: run under CTest"); }
    void init()
    {
        QString error;
        location = databases.fresh(QString::fromLatin1(QTest::currentDataTag()).section(QLatin1Char(' '), 0, 0));
        db = std::make_shared<ProductionDatabase>(DatabaseLocation::parse(location));
        QVERIFY2(db->open(&error), qPrintable(error));
    }
    void cleanup() { db.reset(); }

    // waiting, running, failed with its step, passed keeping the last
    // failure, waiting again after a pause, stopped when the store goes.
    void statesThroughDevices_data() { TestDatabase::addBackendRows(); }
    void statesThroughDevices()
    {
        auto store = std::make_unique<SqlRecordStore>(db);
        BenchLiveness &bench = *store->liveness();
        bench.setPort(QStringLiteral("Com'1; <b>"));
        bench.setJob(QStringLiteral("board \"A\""), QStringLiteral("ล็อต 7"));
        bench.waiting();
        BenchRow row = onlyRow();
        QCOMPARE(row.state, QStringLiteral("waiting"));
        QCOMPARE(row.host, QSysInfo::machineHostName());
        QCOMPARE(row.portEntry, QStringLiteral("Com'1; <b>"));
        QCOMPARE(row.job, QStringLiteral("board \"A\""));
        QCOMPARE(row.lot, QStringLiteral("ล็อต 7"));
        QCOMPARE(row.devices, 0);
        QVERIFY(!row.gone);

        bench.deviceStarted(QStringLiteral("erase program"));
        row = onlyRow();
        QCOMPARE(row.state, QStringLiteral("running"));
        QCOMPARE(row.command, QStringLiteral("erase program"));
        QCOMPARE(row.devices, 1);

        // Program's step fails: the runner tells the bench which.
        const DeviceCommand *program = DeviceCommand::byName(QStringLiteral("program"));
        QVERIFY(program);
        RunStep step;
        step.command = step.exchange = program;
        bench.stepEnded(step, StepEnd{false, QStringLiteral("Program..Fail:01A3"), uint16_t(0x1A3)});
        QString error;
        QVERIFY2(store->append(deviceRecord(false), &error), qPrintable(error));
        row = onlyRow();
        QCOMPARE(row.state, QStringLiteral("failed"));
        QCOMPARE(row.step, QStringLiteral("program"));
        QCOMPARE(row.text, QStringLiteral("Program..Fail:01A3"));
        QCOMPARE(records(), 1);

        bench.deviceStarted(QStringLiteral("erase program"));
        QVERIFY2(store->append(deviceRecord(true), &error), qPrintable(error));
        row = onlyRow();
        QCOMPARE(row.state, QStringLiteral("passed"));
        QCOMPARE(row.devices, 2);
        QCOMPARE(row.step, QStringLiteral("program"));

        // The result stays a moment; a bench left waiting says so.
        bench.waiting();
        QCOMPARE(state(), QStringLiteral("passed"));
        QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("waiting"), BenchLiveness::WaitingAfterMs + 5000);
        QVERIFY2(bench.lastError().isEmpty(), qPrintable(bench.lastError()));

        store.reset();
        QCOMPARE(state(), QStringLiteral("stopped"));
    }

    // The row goes with the record: when it cannot be written the record
    // is not kept either, and the store says so. Writes of the row alone
    // fail quietly.
    void recordNeverWithoutItsRow_data() { TestDatabase::addBackendRows(); }
    void recordNeverWithoutItsRow()
    {
        SqlRecordStore store(db);
        BenchLiveness &bench = *store.liveness();
        bench.setPort(QStringLiteral("/dev/ttyUSB0"));
        bench.waiting();
        QString error;
        TestDatabase::scalar(location, QStringLiteral("DROP TABLE tarvo_benches"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));

        bench.deviceStarted(QStringLiteral("program"));
        QVERIFY2(bench.lastError().contains(QLatin1String("tarvo_benches")), qPrintable(bench.lastError()));
        QVERIFY(!store.append(deviceRecord(true), &error));
        QVERIFY2(error.contains(QLatin1String("tarvo_benches")), qPrintable(error));
        QCOMPARE(records(), 0);
    }

    // A bench moved to another port leaves its old row stopped.
    void movedBenchLeavesItsRowStopped_data() { TestDatabase::addBackendRows(); }
    void movedBenchLeavesItsRowStopped()
    {
        SqlRecordStore store(db);
        BenchLiveness &bench = *store.liveness();
        bench.setPort(QStringLiteral("Com1"));
        bench.waiting();
        bench.setPort(QStringLiteral("Com2"));
        bench.waiting();
        QList<BenchRow> rows;
        QString error;
        QVERIFY2(BenchBoard(*db).benches(&rows, &error), qPrintable(error));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].portEntry + QLatin1Char(' ') + rows[0].state, QStringLiteral("Com1 stopped"));
        QCOMPARE(rows[1].portEntry + QLatin1Char(' ') + rows[1].state, QStringLiteral("Com2 waiting"));
    }

    // Gone by the database's clock: a row last heard from long ago.
    void quietBenchGone_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("state");
        QTest::addColumn<qint64>("quietMs");
        QTest::addColumn<bool>("gone");
        for (const char *backend : {"sqlite", "postgres"}) {
            const QString b = QString::fromLatin1(backend);
            QTest::addRow("%s waiting, refreshes missed", backend) << b << "waiting" << BenchBoard::QuietGoneMs + 5000 << true;
            QTest::addRow("%s waiting, just refreshed", backend) << b << "waiting" << BenchBoard::RefreshMs << false;
            QTest::addRow("%s failed, refreshes missed", backend) << b << "failed" << BenchBoard::QuietGoneMs + 5000 << true;
            QTest::addRow("%s running a long device", backend) << b << "running" << BenchBoard::QuietGoneMs + 5000 << false;
            QTest::addRow("%s running for ever", backend) << b << "running" << BenchBoard::RunningGoneMs + 5000 << true;
            QTest::addRow("%s stopped long ago", backend) << b << "stopped" << qint64(86400000) << false;
        }
    }
    void quietBenchGone()
    {
        QFETCH(QString, state);
        QFETCH(qint64, quietMs);
        QFETCH(bool, gone);
        BenchRow row;
        row.host = QStringLiteral("bench-9");
        row.portEntry = QStringLiteral("Com3");
        row.state = state;
        QVERIFY(BenchBoard::write(*db, row, 1));
        QString error;
        TestDatabase::scalar(location, QStringLiteral("UPDATE tarvo_benches SET changed_ms = changed_ms - %1").arg(quietMs),
                             &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(onlyRow().gone, gone);
    }
};

QTEST_GUILESS_MAIN(TestBenchBoard)
#include "tst_benchboard.moc"
