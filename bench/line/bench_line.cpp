// The line's questions at the scale of a year of a busy line: 2 million
// records (eight benches, three devices, about 7 % failing, a serial
// number each, 0.5 % of the numbers retired) written in SQLite and in
// PostgreSQL (a server of the benchmark's own, fsync on), then every query
// the line's board asks timed (median of Runs, after one warm-up run).
// Then what an upgrade's count of every record takes (rolled back, and
// checked: every record counted once), and what the bench's row adds per
// device: a device's database work (check, record) with the row (running,
// then the row with the record) and without, alternating, on the full
// databases.
//   bench_line [records] [sqlite|postgres|both]
#include "BenchBoard.h"
#include "BenchLiveness.h"
#include "BenchServer.h"
#include "BulkWriter.h"
#include "DatabaseLocation.h"
#include "DeviceRecord.h"
#include "ProductionDatabase.h"
#include "ProductionReport.h"
#include "RecordField.h"
#include "RecordSummary.h"
#include "RecordTally.h"
#include "SqlRecordStore.h"
#include "SqlSerialSequence.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int Runs = 15;
constexpr int Batch = 20000;
constexpr int Benches = 8;
constexpr int CostDevices = 400;
constexpr quint64 FirstSerial = 1000000;
const char *const Devices[] = {"AT89C2051", "AT89S52", "ATmega8"};

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

[[noreturn]] void fail(const QString &what, const QString &error)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(what), qPrintable(error));
    std::exit(1);
}

// The n-th of count records, spread evenly over the year up to now.
DeviceRecord yearRecord(qint64 n, qint64 count, const QDateTime &now, QRandomGenerator &random)
{
    DeviceRecord r;
    const qint64 yearMs = 365LL * 86400000;
    r.time = now.addMSecs(-yearMs + yearMs * (n + 1) / count);
    const int bench = int(n % Benches);
    r.host = QStringLiteral("bench-%1").arg(bench + 1);
    r.portEntry = QStringLiteral("Com1");
    r.portPath = QStringLiteral("/dev/ttyUSB0");
    r.biosCode = QStringLiteral("15/08/2003");
    r.device = QLatin1String(Devices[bench % 3]);
    r.commands = {QStringLiteral("auto")};
    r.fileName = QStringLiteral("board-v3.hex");
    r.imageSha256 = QStringLiteral("9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");
    r.bufferChecksum = QStringLiteral("1A2BH");
    r.serial = FirstSerial + quint64(n);
    r.serialText = QStringLiteral("%1").arg(*r.serial, 8, 16, QLatin1Char('0')).toUpper();
    r.passed = random.bounded(100) >= 7;
    r.outcome = r.passed ? QStringList{QStringLiteral("Erase.........Pass"), QStringLiteral("Blank.........Pass"),
                                       QStringLiteral("Program.......Pass"), QStringLiteral("Verify........Pass"),
                                       QStringLiteral("Lock Bit 2....Pass")}
                         : QStringList{QStringLiteral("Erase.........Pass"), QStringLiteral("Program..Fail:01A3"),
                                       QStringLiteral("Command......Abort")};
    r.durationMs = 3000 + random.bounded(2000);
    r.successCount = int(n / Benches);
    r.version = QStringLiteral("3.03");
    // A job a quarter, a lot a week.
    const qint64 day = n * 365 / count;
    r.jobName = QStringLiteral("Board %1 rev 3").arg(QLatin1Char(char('A' + day / 92)));
    r.lot = QStringLiteral("L%1").arg(day / 7, 3, 10, QLatin1Char('0'));
    return r;
}

void generate(ProductionDatabase &db, qint64 count)
{
    QString error;
    const SerialFormat form = [] {
        SerialFormat f;
        f.address = 0x7F0;
        f.start = FirstSerial;
        return f;
    }();
    auto dbShared = std::shared_ptr<ProductionDatabase>(&db, [](ProductionDatabase *) {});
    SqlSerialSequence sequence(dbShared, QStringLiteral("board"), form);
    if (!sequence.open(&error))
        fail(QStringLiteral("sequence"), error);
    BulkWriter writer(db);
    QRandomGenerator random(20261208);
    const QDateTime now = QDateTime::currentDateTime();
    QElapsedTimer clock;
    clock.start();
    for (qint64 first = 0; first < count; first += Batch) {
        QList<DeviceRecord> records;
        QList<BulkWriter::Number> numbers;
        for (qint64 n = first; n < std::min(count, first + Batch); ++n) {
            records << yearRecord(n, count, now, random);
            const DeviceRecord &r = records.constLast();
            // A failed device's number is retired now and then.
            const bool retired = !r.passed && random.bounded(14) == 0;
            numbers << BulkWriter::Number{*r.serial, retired,
                                          retired ? QStringLiteral("its device failed after it was written") : QString(),
                                          r.host, r.time.toMSecsSinceEpoch()};
        }
        if (!writer.records(records, QStringLiteral("board"), &error) || !writer.numbers(QStringLiteral("board"), numbers, &error))
            fail(QStringLiteral("writing records"), error);
        if ((first / Batch) % 10 == 9)
            std::fprintf(stderr, "  %lld records, %.0f s\n", qlonglong(first + Batch), clock.elapsed() / 1000.0);
    }
    // The benches of the line, as their rows stand.
    for (int b = 0; b < Benches; ++b) {
        BenchRow row;
        row.host = QStringLiteral("bench-%1").arg(b + 1);
        row.portEntry = QStringLiteral("Com1");
        row.state = QLatin1String(b == 3 ? BenchBoard::Failed : BenchBoard::Running);
        row.devices = 37;
        if (!BenchBoard::write(db, row, 1))
            fail(QStringLiteral("bench rows"), db.lastFault());
    }
    std::printf("  %lld records written in %.1f s\n", qlonglong(count), clock.elapsed() / 1000.0);
}

struct Query
{
    const char *name;
    std::function<bool(QString *error)> run;
};

void timeQueries(ProductionDatabase &db, qint64 count, double targetMs)
{
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    // This quarter's job, as the last records have it.
    const DeviceRecord last = yearRecord(Benches, Benches + 1, QDateTime::currentDateTime(), *QRandomGenerator::global());
    const QString job = last.jobName;
    const QString lot = last.lot;
    // A time within a day: the rest of its day is counted record by record.
    const QString monthAgo = RecordField::timeText(QDateTime::currentDateTime().addDays(-30).addSecs(-1234));
    qint64 seen = 0;
    const auto summary = [&](const ReportFilter &filter, QString *e) {
        RecordSummary counted;
        const bool ok = ProductionReport(db).summary(filter, &counted, e);
        seen = counted.total.devices();
        return ok;
    };
    const QList<Query> queries = {
        {"benches", [&](QString *e) {
             QList<BenchRow> rows;
             const bool ok = BenchBoard(db).benches(&rows, e);
             seen = rows.size();
             return ok;
         }},
        {"summary since today", [&](QString *e) { return summary({today, QString(), QString()}, e); }},
        {"summary, today, a job", [&](QString *e) { return summary({today, job, QString()}, e); }},
        {"summary of a job", [&](QString *e) { return summary({QString(), job, QString()}, e); }},
        {"summary of a job's lot", [&](QString *e) { return summary({QString(), job, lot}, e); }},
        {"summary, 30 days, a job", [&](QString *e) { return summary({monthAgo, job, QString()}, e); }},
        {"summary of all", [&](QString *e) {
             const bool ok = summary({}, e);
             if (ok && seen != count)
                 fail(QStringLiteral("summary of all"), QStringLiteral("%1 devices counted of %2").arg(seen).arg(count));
             return ok;
         }},
        {"latest 50", [&](QString *e) {
             seen = 0;
             return ProductionReport(db).latest({}, 50, [&](const DeviceRecord &) { ++seen; }, e);
         }},
        {"hours of the last 24 h", [&](QString *e) {
             QList<HourCounts> hours;
             const bool ok = ProductionReport(db).hours(QDateTime::currentDateTime().addSecs(-24 * 3600), &hours, e);
             seen = 0;
             for (const HourCounts &h : hours)
                 seen += h.counts.devices();
             return ok;
         }},
        {"retired numbers", [&](QString *e) {
             QList<SqlSerialSequence::Retired> list;
             const bool ok = SqlSerialSequence::retiredNumbers(db, &list, e);
             seen = list.size();
             return ok;
         }},
        {"CSV of today", [&](QString *e) {
             QByteArray csv = DeviceRecord::csvHeader().toUtf8();
             seen = 0;
             const bool ok = ProductionReport(db).records(today, [&](const DeviceRecord &r) {
                 csv += r.csvRow().toUtf8() + '\n';
                 ++seen;
             }, e);
             return ok;
         }},
    };
    for (const Query &q : queries) {
        QList<double> ms;
        for (int run = 0; run <= Runs; ++run) {
            QElapsedTimer clock;
            clock.start();
            QString error;
            if (!q.run(&error))
                fail(QString::fromLatin1(q.name), error);
            if (run > 0)
                ms << clock.nsecsElapsed() / 1e6;
        }
        const double m = median(ms);
        std::printf("  %-24s median %8.2f ms  (max %8.2f ms, %lld rows)  %s\n", q.name, m,
                    *std::max_element(ms.begin(), ms.end()), qlonglong(seen), m < targetMs ? "OK" : "OVER TARGET");
    }
}

// What an upgrade to the daily counts does with a year's records: every
// record counted, in one transaction (rolled back here).
void timeCounting(ProductionDatabase &db, qint64 count)
{
    QElapsedTimer clock;
    qint64 elapsedMs = 0;
    QString error;
    db.transact(
        [&](QString *why) {
            clock.start();
            if (!RecordTally::countRecords(db, 0))
                return false;
            elapsedMs = clock.elapsed();
            // Every record counted once more, in its spans of ids: twice in all.
            RecordSummary twice;
            if (!ProductionReport(db).summary(ReportFilter{}, &twice, why))
                return false;
            *why = twice.total.devices() == 2 * count
                       ? QStringLiteral("rolled back")
                       : QStringLiteral("%1 devices counted, not %2").arg(twice.total.devices()).arg(2 * count);
            return false;
        },
        &error);
    if (error != QLatin1String("rolled back"))
        fail(QStringLiteral("counting the records"), error);
    std::printf("  counting every record (the upgrade's work, the write lock held): %.1f s\n", elapsedMs / 1000.0);
}

// A device's database work on a bench, with its row and without: the
// check before the device, then (with the row) running, then the record
// (with the row, in one transaction).
void timeLiveness(const DatabaseLocation &location)
{
    auto db = std::make_shared<ProductionDatabase>(location);
    SqlRecordStore store(db);
    QString error;
    if (!store.open(&error))
        fail(QStringLiteral("store"), error);
    BenchLiveness &bench = *store.liveness();
    QRandomGenerator random(7);
    QList<double> with, without;
    const QDateTime now;
    for (int round = 0; round < 8; ++round) {
        const bool row = round % 2 == 0;
        // Without a port the store writes the record alone.
        bench.setPort(row ? QStringLiteral("Com9") : QString());
        for (int d = 0; d < CostDevices / 8; ++d) {
            DeviceRecord r = yearRecord(d, 1, now, random);
            r.time = QDateTime::currentDateTime();
            r.host = QStringLiteral("bench-9");
            QElapsedTimer clock;
            clock.start();
            if (!store.ready(&error))
                fail(QStringLiteral("ready"), error);
            if (row)
                bench.deviceStarted(QStringLiteral("auto"));
            if (!store.append(r, &error))
                fail(QStringLiteral("append"), error);
            (row ? with : without) << clock.nsecsElapsed() / 1e6;
        }
    }
    if (!bench.lastError().isEmpty())
        fail(QStringLiteral("the bench's row"), bench.lastError());
    std::printf("  per device: check + record %.2f ms; with the bench's row (running, and the row with the record) "
                "%.2f ms: the row adds %.2f ms (medians of %d devices each)\n",
                median(without), median(with), median(with) - median(without), int(without.size()));
}

void measure(const char *name, const DatabaseLocation &location, qint64 count, double targetMs)
{
    std::printf("%s, %lld records:\n", name, qlonglong(count));
    std::fflush(stdout);
    ProductionDatabase db(location);
    QString error;
    if (!db.open(&error))
        fail(QString::fromLatin1(name), error);
    generate(db, count);
    timeQueries(db, count, targetMs);
    timeCounting(db, count);
    timeLiveness(location);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint64 count = args.size() > 1 ? args.at(1).toLongLong() : 2000000;
    const QString which = args.size() > 2 ? args.at(2) : QStringLiteral("both");
    if (count <= 0 || !QStringList{"sqlite", "postgres", "both"}.contains(which)) {
        std::fprintf(stderr, "usage: bench_line [records] [sqlite|postgres|both]\n");
        return 2;
    }
    if (which != QLatin1String("postgres")) {
        QTemporaryDir dir(QStringLiteral("/tmp/tarvo-bench-line-XXXXXX"));
        measure("SQLite (target: each query under 300 ms)", DatabaseLocation::parse(dir.filePath(QStringLiteral("line.db"))),
                count, 300);
    }
    if (which != QLatin1String("sqlite")) {
        BenchServer server;
        measure("PostgreSQL (target: each query under 100 ms)", DatabaseLocation::parse(server.location()), count, 100);
    }
    return 0;
}
