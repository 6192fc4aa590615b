// Serial numbers from the production database, on SQLite and PostgreSQL:
// the form kept on first use, reuse of released numbers, benches that
// vanished, the end of the numbers, and benches reserving at once.
#include "BenchIdentity.h"
#include "DatabaseLocation.h"
#include "ProductionDatabase.h"
#include "SerialState.h"
#include "SqlSerialSequence.h"
#include "TestDatabase.h"

#include <QProcess>
#include <QSet>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTest>
#include <memory>

class TestSqlSerialSequence : public QObject
{
    Q_OBJECT

    TestDatabase databases;
    std::shared_ptr<ProductionDatabase> db;
    QString location;

    static SerialFormat form(quint64 start, quint64 step = 1, SerialFormat::Form kind = SerialFormat::Form::Le, int bytes = 4)
    {
        SerialFormat f;
        f.address = 0x7F0;
        f.start = start;
        f.step = step;
        f.form = kind;
        f.bytes = bytes;
        return f;
    }
    std::unique_ptr<SqlSerialSequence> sequence(std::optional<SerialFormat> requested, QString *error,
                                                const QString &name = QStringLiteral("board"))
    {
        auto s = std::make_unique<SqlSerialSequence>(db, name, requested);
        if (!s->open(error))
            return nullptr;
        return s;
    }
    static quint64 take(SqlSerialSequence &s)
    {
        QString error;
        const std::optional<quint64> n = s.reserve(&error);
        if (!n)
            qWarning("reserve: %s", qPrintable(error));
        return n.value_or(0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!TestDatabase::sharedServer().isEmpty(), "TARVO_TEST_PG_DIR is not set: run under CTest");
    }
    void init()
    {
        QString error;
        location = databases.fresh(QString::fromLatin1(QTest::currentDataTag()));
        db = std::make_shared<ProductionDatabase>(DatabaseLocation::parse(location));
        QVERIFY2(db->open(&error), qPrintable(error));
    }
    void cleanup() { db.reset(); }

    void formKeptOnFirstUse_data() { TestDatabase::addBackendRows(); }
    void formKeptOnFirstUse()
    {
        QString error;
        QVERIFY(!sequence(std::nullopt, &error));
        QVERIFY2(error.contains(QLatin1String("does not exist yet")), qPrintable(error));

        const SerialFormat first = form(5000, 2, SerialFormat::Form::Bcd, 3);
        QVERIFY2(sequence(first, &error), qPrintable(error));
        // Another bench without the options follows the stored form.
        auto follower = sequence(std::nullopt, &error);
        QVERIFY2(follower, qPrintable(error));
        QVERIFY(follower->keptFormat());
        QCOMPARE(SqlSerialSequence::describe(*follower->keptFormat()), QStringLiteral("address 07F0, start 5000, step 2, bcd, 3 bytes"));
        QCOMPARE(take(*follower), 5000u);
        QCOMPARE(take(*follower), 5002u);

        QVERIFY(!sequence(form(5000, 2, SerialFormat::Form::Bcd, 4), &error));
        QCOMPARE(error, QStringLiteral("The serial sequence \"board\" keeps address 07F0, start 5000, step 2, bcd, 3 bytes; "
                                       "the options ask for address 07F0, start 5000, step 2, bcd, 4 bytes. "
                                       "Leave out --serial to follow the sequence."));
        // Sequences are per product.
        auto other = sequence(form(1), &error, QStringLiteral("other board's; --"));
        QVERIFY2(other, qPrintable(error));
        QCOMPARE(take(*other), 1u);
    }

    // A failed device's number goes to the next device, on any bench.
    void releasedNumbersGoFirst_data() { TestDatabase::addBackendRows(); }
    void releasedNumbersGoFirst()
    {
        QString error;
        auto a = sequence(form(1000), &error);
        auto b = sequence(std::nullopt, &error);
        QVERIFY2(a && b, qPrintable(error));
        b->setBench(QStringLiteral("bench-2"), QStringLiteral("machine-2"), 1);
        QCOMPARE(take(*a), 1000u);
        QCOMPARE(take(*b), 1001u);
        QCOMPARE(take(*a), 1002u);
        QVERIFY(a->release(1002, &error));
        QVERIFY(a->release(1000, &error));
        QCOMPARE(b->peek(&error), std::optional<quint64>(1000));
        QCOMPARE(take(*b), 1000u);
        QCOMPARE(take(*a), 1002u);
        QCOMPARE(take(*a), 1003u);
        // Only the holder settles a number.
        QVERIFY(!a->commit(1001, &error));
        QVERIFY2(error.contains(QLatin1String("no longer reserved for this bench")), qPrintable(error));
        QVERIFY2(b->commit(1001, &error), qPrintable(error));
        QVERIFY(a->release(1001, &error));
        QCOMPARE(take(*a), 1004u);
    }

    // Numbers held by a process of this host, machine and boot that has
    // ended come back at once; those of a clone of the disk image (same
    // machine id), of an earlier boot or of another machine after the
    // time-out.
    void vanishedBenchesLoseTheirNumbers_data() { TestDatabase::addBackendRows(); }
    void vanishedBenchesLoseTheirNumbers()
    {
        QString error;
        auto alive = sequence(form(1), &error);
        auto crashed = sequence(std::nullopt, &error);
        auto remote = sequence(std::nullopt, &error);
        auto clone = sequence(std::nullopt, &error);
        auto rebooted = sequence(std::nullopt, &error);
        QVERIFY2(alive && crashed && remote && clone && rebooted, qPrintable(error));
        QProcess ended;
        ended.start(QStringLiteral("true"));
        QVERIFY(ended.waitForFinished());
        const BenchIdentity me = BenchIdentity::current();
        QVERIFY2(!me.machine.isEmpty() && !me.boot.isEmpty(), "no machine or boot id on this machine");
        const QString here = me.machine + QLatin1Char('/') + me.boot;
        crashed->setBench(me.host, here, ended.processId());
        remote->setBench(QStringLiteral("far"), QStringLiteral("far-machine"), 1);
        clone->setBench(me.host + QLatin1String("-clone"), here, ended.processId());
        rebooted->setBench(me.host, me.machine + QLatin1String("/an-earlier-boot"), ended.processId());
        QCOMPARE(take(*crashed), 1u);
        QCOMPARE(take(*remote), 2u);
        QCOMPARE(take(*clone), 3u);
        QCOMPARE(take(*rebooted), 4u);
        QCOMPARE(take(*alive), 1u);
        QCOMPARE(take(*alive), 5u);

        alive->setTimeoutMs(300);
        QTest::qWait(600);
        // The reservations of the live bench itself are past the time-out
        // too: a bench whose device takes that long loses its number.
        QCOMPARE(take(*alive), 1u);
        QCOMPARE(take(*alive), 2u);
        QCOMPARE(take(*alive), 3u);
        QVERIFY(!remote->commit(2, &error));
        QVERIFY2(error.contains(QLatin1String("released after")), qPrintable(error));
    }

    // A number that may be in a device is never handed out again: one
    // written by a bench that died or timed out is retired (one only
    // reserved is released), as is one retired by its bench; a commit
    // tried again after its answer was lost succeeds; the report's list
    // holds each with its reason.
    void writtenNumbersAreRetired_data() { TestDatabase::addBackendRows(); }
    void writtenNumbersAreRetired()
    {
        QString error;
        auto alive = sequence(form(1), &error);
        auto crashed = sequence(std::nullopt, &error);
        auto remote = sequence(std::nullopt, &error);
        QVERIFY2(alive && crashed && remote, qPrintable(error));
        QProcess ended;
        ended.start(QStringLiteral("true"));
        QVERIFY(ended.waitForFinished());
        const BenchIdentity me = BenchIdentity::current();
        QVERIFY2(!me.machine.isEmpty() && !me.boot.isEmpty(), "no machine or boot id on this machine");
        crashed->setBench(me.host, me.machine + QLatin1Char('/') + me.boot, ended.processId());
        remote->setBench(QStringLiteral("far"), QStringLiteral("far-machine"), 1);

        QCOMPARE(take(*crashed), 1u);
        QVERIFY2(crashed->markWritten(1, &error), qPrintable(error));
        QCOMPARE(take(*crashed), 2u);
        QCOMPARE(take(*alive), 2u);
        QVERIFY2(alive->commit(2, &error), qPrintable(error));
        QCOMPARE(take(*alive), 3u);
        QVERIFY2(alive->commit(3, &error), qPrintable(error));
        QVERIFY2(alive->commit(3, &error), qPrintable(error));
        QVERIFY(!remote->commit(3, &error));
        QCOMPARE(take(*alive), 4u);
        QVERIFY2(alive->markWritten(4, &error), qPrintable(error));
        QVERIFY2(alive->retire(4, QStringLiteral("scrapped"), &error), qPrintable(error));
        // Not ours: nothing is marked.
        QVERIFY(!remote->markWritten(2, &error));

        QCOMPARE(take(*remote), 5u);
        QVERIFY2(remote->markWritten(5, &error), qPrintable(error));
        QCOMPARE(take(*remote), 6u);
        alive->setTimeoutMs(300);
        QTest::qWait(600);
        QCOMPARE(take(*alive), 6u);
        QCOMPARE(take(*alive), 7u);

        QList<SqlSerialSequence::Retired> retired;
        QVERIFY2(SqlSerialSequence::retiredNumbers(*db, &retired, &error), qPrintable(error));
        QList<std::pair<quint64, QString>> seen;
        for (const auto &r : retired)
            seen.append({r.number, r.reason});
        const QList<std::pair<quint64, QString>> expected{
            {1, SerialState::holderDiedText()}, {4, QStringLiteral("scrapped")}, {5, SerialState::holderDiedText()}};
        QCOMPARE(seen, expected);
    }

    // Another bench holds the sequence's lock and does not let go (frozen
    // inside its transaction): this bench gives up within the lock
    // time-out, once, with a clear text, and gets its number once the lock
    // is gone. The settings reach every PostgreSQL session.
    void aHeldLockStopsTheBenchSoon_data() { TestDatabase::addBackendRows(); }
    void aHeldLockStopsTheBenchSoon()
    {
        QFETCH(QString, backend);
        QString error;
        auto s = sequence(form(1), &error);
        QVERIFY2(s, qPrintable(error));
        ProductionDatabase frozen(DatabaseLocation::parse(location));
        QVERIFY2(frozen.open(&error), qPrintable(error));
        QVERIFY2(frozen.execute(QStringLiteral("BEGIN"), {}, &error), qPrintable(error));
        QVERIFY2(frozen.execute(backend == QLatin1String("postgres")
                                    ? QStringLiteral("SELECT next_number FROM tarvo_sequences FOR UPDATE")
                                    : QStringLiteral("UPDATE tarvo_sequences SET next_number = next_number"),
                                {}, &error),
                 qPrintable(error));
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!s->reserve(&error));
        QCOMPARE(error, QStringLiteral("The database %1 is held by another bench: no answer within 5 s (a bench may be "
                                       "frozen in its work, or its cable pulled). Nothing was sent to the device.")
                            .arg(location));
        // One wait, not one per connection tried (a loaded machine may add some).
        QVERIFY2(waited.elapsed() < 2 * ProductionDatabase::LockTimeoutMs, qPrintable(QString::number(waited.elapsed())));
        QVERIFY2(frozen.execute(QStringLiteral("ROLLBACK"), {}, &error), qPrintable(error));
        QCOMPARE(take(*s), 1u);

        if (backend == QLatin1String("postgres")) {
            QSqlQuery show = frozen.newQuery();
            for (const char *setting : {"lock_timeout", "statement_timeout", "idle_in_transaction_session_timeout"}) {
                QVERIFY(frozen.exec(show, QStringLiteral("SHOW %1").arg(QLatin1String(setting))) && show.next());
                QVERIFY2(show.value(0).toString() != QLatin1String("0"), setting);
            }
        }
    }

    void numbersRunOut_data() { TestDatabase::addBackendRows(); }
    void numbersRunOut()
    {
        QString error;
        auto s = sequence(form(5, 2, SerialFormat::Form::Ascii, 1), &error);
        QVERIFY2(s, qPrintable(error));
        QCOMPARE(take(*s), 5u);
        QCOMPARE(take(*s), 7u);
        QCOMPARE(take(*s), 9u);
        QVERIFY(!s->reserve(&error));
        QVERIFY2(error.contains(QLatin1String("no serial numbers are left")), qPrintable(error));
        QVERIFY(s->release(7, &error));
        QCOMPARE(take(*s), 7u);

        QVERIFY(!sequence(form(10, 1, SerialFormat::Form::Ascii, 1), &error, QStringLiteral("too big")));
        QVERIFY2(error.contains(QLatin1String("does not fit")), qPrintable(error));
        // Eight-byte numbers past the largest signed 64-bit value.
        QVERIFY(!sequence(form(quint64(1) << 63, 1, SerialFormat::Form::Le, 8), &error, QStringLiteral("huge")));
        // The largest step a signed column keeps: two numbers, then none.
        s = sequence(form(0, SerialFormat::LargestStep, SerialFormat::Form::Le, 8), &error, QStringLiteral("wide"));
        QVERIFY2(s, qPrintable(error));
        QCOMPARE(take(*s), 0u);
        QCOMPARE(take(*s), quint64(SerialFormat::LargestStep));
        QVERIFY(!s->reserve(&error));
        QVERIFY(!sequence(form(0, SerialFormat::LargestStep + 1, SerialFormat::Form::Le, 8), &error, QStringLiteral("wider")));
        QVERIFY2(error.contains(QLatin1String("is not from 1 to 9223372036854775807")), qPrintable(error));
    }

    // Benches as processes, reserving at once: every number used once, and
    // every released number given again.
    void benchesReserveAtOnce_data() { TestDatabase::addBackendRows(); }
    void benchesReserveAtOnce()
    {
        constexpr int Benches = 6;
        constexpr int PerBench = 40;
        QList<QProcess *> workers;
        for (int i = 0; i < Benches; ++i) {
            auto *p = new QProcess(this);
            p->start(QStringLiteral(SERIAL_WORKER), {location, QStringLiteral("board"), QString::number(PerBench)});
            workers << p;
        }
        QList<quint64> used;
        for (QProcess *p : workers) {
            QVERIFY(p->waitForFinished(60000));
            QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
            for (const QByteArray &line : p->readAllStandardOutput().split('\n')) {
                const QList<QByteArray> parts = line.split(' ');
                if (parts.size() == 2 && parts[0] == "used")
                    used << parts[1].toULongLong();
            }
            delete p;
        }
        QCOMPARE(used.size(), Benches * PerBench * 3 / 4);
        QCOMPARE(QSet<quint64>(used.cbegin(), used.cend()).size(), used.size());
        // Released numbers were given again: no number was skipped, and
        // only those released after their bench's last reservation are left.
        const qint64 next = TestDatabase::scalar(location, QStringLiteral("SELECT next_number FROM tarvo_sequences")).toLongLong();
        const qint64 left = TestDatabase::scalar(location, QStringLiteral("SELECT COUNT(*) FROM tarvo_reservations "
                                                                          "WHERE state = 'released'")).toLongLong();
        QCOMPARE(TestDatabase::scalar(location, QStringLiteral("SELECT COUNT(*) FROM tarvo_reservations WHERE state = 'used'"))
                     .toLongLong(),
                 qint64(used.size()));
        QCOMPARE(next - 1000, qint64(used.size()) + left);
        QVERIFY2(left <= Benches, qPrintable(QString::number(left)));
        for (quint64 n : used)
            QVERIFY(n >= 1000 && n < quint64(next));
    }
};

QTEST_GUILESS_MAIN(TestSqlSerialSequence)
#include "tst_sqlserialsequence.moc"
