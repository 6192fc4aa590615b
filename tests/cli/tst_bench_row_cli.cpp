// The bench's row on the line's board through tarvo-cli --repeat runs
// against the emulator, on SQLite and PostgreSQL: waiting, running,
// failed with its step, passed, waiting again, stopped; and a bench killed
// while its record's transaction waits for the row leaves neither.
#include "BenchBoard.h"
#include "CliProcess.h"
#include "DatabaseLocation.h"
#include "EmulatorFault.h"
#include "ProductionDatabase.h"
#include "ProductionEmulator.h"
#include "ProgrammerEmulator.h"
#include "TestDatabase.h"

#include <QFile>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

using Fault = EmulatorFault;

class TestBenchRowCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgrammerEmulator> emu;
    QTemporaryDir dir;
    TestDatabase databases;
    QString hex;
    QString location;

    QStringList args(const QStringList &commands) const
    {
        return QStringList{"--port", emu->slavePath(), "--device", "AT89C2051", "--file", hex, "--db", location, "--repeat", "--json"}
               + commands;
    }
    // The bench's row (there is one bench), read as the board reads it.
    BenchRow row() { return TestDatabase::onlyBench(location); }
    QString state() { return row().state; }
    qint64 records() { return TestDatabase::recordCount(location); }
    // The records as their daily counts have them.
    qint64 counted() { return TestDatabase::countedDevices(location); }

private slots:
    void initTestCase()
    {
        QVERIFY2(!TestDatabase::sharedServer().isEmpty(), "TARVO_TEST_PG_DIR is not set: run under CTest");
        hex = dir.filePath(QStringLiteral("fw.hex"));
        QVERIFY(writeFullImage(hex));
    }
    void init()
    {
        TestDatabase::usePasswordsOf(TestDatabase::sharedServer());
        emu = startEmulator();
    }
    void cleanup() { emu.reset(); }

    void statesOfARun_data() { TestDatabase::addBackendRows(); }
    void statesOfARun()
    {
        QFETCH(QString, backend);
        location = databases.fresh(backend);
        // Device 1: erase answers late (the bench is seen running), then
        // program is refused.
        emu->addFault(Fault::at(Fault::Event::CommandReply, Fault::Action::Delay).forCommand(0x05).withDelay(1500));
        emu->addFault(Fault::at(Fault::Event::BlockRequest, Fault::Action::Nak, 3).forCommand(0x01).withReport("01A3"));
        CliProcess cli(args({"erase", "program"}));
        cli.start();
        QVERIFY(cli.waitForOutput("\"waiting\""));
        BenchRow r = row();
        QCOMPARE(r.state, QStringLiteral("waiting"));
        QCOMPARE(r.host, QSysInfo::machineHostName());
        QCOMPARE(r.portEntry, emu->slavePath());
        QCOMPARE(r.devices, 0);

        cli.write("\n");
        QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("running"), 10000);
        r = row();
        QCOMPARE(r.command, QStringLiteral("erase program"));
        QCOMPARE(r.devices, 1);
        QVERIFY(cli.waitForOutput("\"device\":1,\"event\":\"device\""));
        r = row();
        QCOMPARE(r.state, QStringLiteral("failed"));
        QCOMPARE(r.step, QStringLiteral("program"));
        QVERIFY2(r.text.contains(QLatin1String("Program")), qPrintable(r.text));
        QCOMPARE(records(), 1);
        // Left at the prompt, the bench says it waits.
        QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("waiting"), 10000);

        cli.write("\n");
        QVERIFY(cli.waitForOutput("\"device\":2,\"event\":\"device\""));
        r = row();
        QCOMPARE(r.state, QStringLiteral("passed"));
        QCOMPARE(r.devices, 2);
        QCOMPARE(r.step, QStringLiteral("program"));
        QCOMPARE(records(), 2);

        cli.closeInput();
        const CliProcess::Result result = cli.finish();
        QVERIFY(result.finished);
        r = row();
        QCOMPARE(r.state, QStringLiteral("stopped"));
        QVERIFY(!r.gone);
    }

    // A job's run shows the job's name and the lot on the bench's row, as
    // given, whatever they hold.
    void jobAndLotShown()
    {
        location = databases.fresh(QStringLiteral("sqlite"));
        const QString job = dir.filePath(QStringLiteral("board.tarvojob"));
        auto r = CliProcess::run({"--save-job", job, "--job-name", "Board \"A\" <rev 3>", "-p", "AT89C2051", "-f", hex,
                                  "--devices", "1", "--db", location, "--ask-lot", "required", "program"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        r = CliProcess::runWithInput({"--job", job, "-P", emu->slavePath(), "--lot", "ล็อต 7; DROP"}, "\n");
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const BenchRow bench = row();
        QCOMPARE(bench.job, QStringLiteral("Board \"A\" <rev 3>"));
        QCOMPARE(bench.lot, QStringLiteral("ล็อต 7; DROP"));
        QCOMPARE(bench.devices, 1);
        QCOMPARE(bench.state, QStringLiteral("stopped"));
    }

    // The row is written with the record, in one statement: while another
    // session holds the row longer than the bench waits, the record is not
    // kept either (and the device does not pass); a bench killed while
    // that statement waits leaves both or neither, and the record's count
    // with the record. The row alone, refused meanwhile, never keeps the
    // device from running.
    void recordAndRowTogether()
    {
        location = databases.fresh(QStringLiteral("postgres"));
        const QString waiting = QStringLiteral(
            "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() AND application_name = 'tarvo' "
            "AND wait_event_type = 'Lock' AND query LIKE 'WITH bench AS (INSERT INTO tarvo_benches%'");
        for (const bool kill : {false, true}) {
            auto cli = std::make_unique<CliProcess>(args({"program"}));
            cli->start();
            QVERIFY(cli->waitForOutput("\"waiting\""));
            const int programmed = programFrames(*emu);

            ProductionDatabase holder(DatabaseLocation::parse(location));
            QString error;
            QVERIFY2(holder.open(&error), qPrintable(error));
            QSqlQuery hold = holder.newQuery();
            QVERIFY(holder.exec(hold, QStringLiteral("BEGIN")));
            QVERIFY(holder.exec(hold, QStringLiteral("SELECT state FROM tarvo_benches FOR UPDATE")));
            cli->write("\n");
            QTRY_VERIFY_WITH_TIMEOUT(TestDatabase::scalar(location, waiting).toInt() == 1, 20000);
            QCOMPARE(programFrames(*emu), programmed + 1);
            if (kill) {
                cli->sendSignal(SIGKILL);
                QVERIFY(cli->ended(10000));
            } else {
                const CliProcess::Result result = cli->finish(30000);
                QVERIFY(result.finished);
                QVERIFY2(result.out.contains("\"passed\":false"), result.out.constData());
                QVERIFY2(result.err.contains("held by another bench"), result.err.constData());
            }
            QVERIFY(holder.exec(hold, QStringLiteral("ROLLBACK")));
            // The killed bench's session ends once it finds the client gone.
            const QString sessions = QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() "
                                                    "AND application_name = 'tarvo' AND pid <> pg_backend_pid()");
            QTRY_VERIFY_WITH_TIMEOUT(TestDatabase::scalar(location, sessions).toInt() <= 1, 20000);
            if (kill) {
                QCOMPARE(records(), 1);
                QCOMPARE(state(), QStringLiteral("passed"));
            } else {
                QCOMPARE(records(), 0);
                QCOMPARE(state(), QStringLiteral("waiting"));
            }
            QCOMPARE(counted(), records());
        }
    }
};

QTEST_GUILESS_MAIN(TestBenchRowCli)
#include "tst_bench_row_cli.moc"
