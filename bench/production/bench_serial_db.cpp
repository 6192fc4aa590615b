// Serial numbers from one PostgreSQL server for a line of benches: eight
// tarvo-cli --repeat processes, each on its own emulated programmer,
// program 1000 devices in all (an AT89C2051, 2 KiB, unpaced), about one in
// ten made to fail by the emulator. Run once with --serial-sequence and once
// with the records alone (alternating, in four rounds); prints the median
// time per device of each and their difference (what a reservation adds),
// the time of reserve + commit measured by a ninth client under that load
// (every other time with the number marked written in between: what the
// bookkeeping of written numbers adds),
// and checks the numbers: none used twice, every failed device's number
// given again, none skipped.
//   bench_serial_db [devices in all] [benches]
#include "DatabaseLocation.h"
#include "EmulatorFault.h"
#include "HexFileWriter.h"
#include "MemoryBuffer.h"
#include "BenchServer.h"
#include "ProductionDatabase.h"
#include "ProgrammerEmulator.h"
#include "SqlSerialSequence.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr quint64 FirstSerial = 100000;

struct Bench
{
    std::unique_ptr<ProgrammerEmulator> emu;
    std::unique_ptr<QProcess> cli;
    QByteArray pending;
    int left = 0;
    QElapsedTimer device;
};

struct Phase
{
    QList<double> ms;
    int passed = 0;
    int failed = 0;
    int exitFaults = 0;
    double wallS = 0;
};

// A ninth client that reserves and commits a number every 200 ms while the
// benches run: the time of the reservation itself, under their load.
struct Probe
{
    std::shared_ptr<ProductionDatabase> db;
    std::unique_ptr<SqlSerialSequence> sequence;
    QList<double> ms;
    // Reservations marked written before their commit, as a device's are.
    QList<double> markedMs;
    QList<quint64> numbers;
};

SerialFormat benchForm()
{
    SerialFormat form;
    form.address = 0x7F0;
    form.start = FirstSerial;
    return form;
}

double percentile(QList<double> values, double share)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(qsizetype(double(values.size() - 1) * share));
}

double median(const QList<double> &values)
{
    return percentile(values, 0.5);
}

// One run of all benches; withSerials adds --serial-sequence.
void runPhase(Phase &phase, Probe *probe, const QString &location, const QString &hex, int devices, int benches,
              quint32 seed)
{
    const bool withSerials = probe != nullptr;
    QList<std::shared_ptr<Bench>> all;
    QRandomGenerator dice(seed);
    QEventLoop loop;
    int running = benches;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < benches; ++i) {
        auto b = std::make_shared<Bench>();
        b->emu = std::make_unique<ProgrammerEmulator>();
        b->emu->setSocketDevice(QStringLiteral("AT89C2051"));
        QString error;
        if (!b->emu->start(&error))
            qFatal("emulator: %s", qPrintable(error));
        b->left = devices / benches + (i < devices % benches ? 1 : 0);
        QStringList args{"--port", b->emu->slavePath(), "--device", "AT89C2051", "--file", hex, "--db", location,
                         "--repeat", "--json"};
        if (withSerials)
            args << "--serial-sequence" << "bench" << "--serial" << QStringLiteral("7F0:%1").arg(FirstSerial);
        args << "program";
        b->cli = std::make_unique<QProcess>();
        b->cli->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Bench *raw = b.get();
        QObject::connect(b->cli.get(), &QProcess::readyReadStandardOutput, [raw, &phase, &dice]() {
            raw->pending += raw->cli->readAllStandardOutput();
            for (qsizetype end; (end = raw->pending.indexOf('\n')) >= 0;) {
                const QJsonObject event = QJsonDocument::fromJson(raw->pending.left(end)).object();
                raw->pending.remove(0, end + 1);
                const QString kind = event.value(QLatin1String("event")).toString();
                if (kind == QLatin1String("device")) {
                    phase.ms << double(raw->device.nsecsElapsed()) / 1e6;
                    ++(event.value(QLatin1String("passed")).toBool() ? phase.passed : phase.failed);
                } else if (kind == QLatin1String("waiting")) {
                    if (raw->left-- <= 0) {
                        raw->cli->closeWriteChannel();
                        continue;
                    }
                    // About one device in ten is refused at program block 3.
                    if (dice.bounded(10) == 0)
                        raw->emu->addFault(EmulatorFault::at(EmulatorFault::Event::BlockRequest, EmulatorFault::Action::Nak, 3)
                                               .forCommand(0x01)
                                               .withReport("00C0"));
                    raw->device.start();
                    raw->cli->write("\n");
                }
            }
        });
        QObject::connect(b->cli.get(), &QProcess::finished, [&phase, &running, &loop](int code, QProcess::ExitStatus) {
            phase.exitFaults += code > 1 ? 1 : 0;
            if (--running == 0)
                loop.quit();
        });
        b->cli->start(QStringLiteral(TARVO_CLI_PATH), args);
        all << b;
    }
    QTimer probing;
    if (probe) {
        QObject::connect(&probing, &QTimer::timeout, [probe]() {
            QString error;
            QElapsedTimer clock;
            clock.start();
            const bool mark = probe->numbers.size() % 2 == 1;
            const std::optional<quint64> n = probe->sequence->reserve(&error);
            if (!n || (mark && !probe->sequence->markWritten(*n, &error)) || !probe->sequence->commit(*n, &error))
                qFatal("probe: %s", qPrintable(error));
            (mark ? probe->markedMs : probe->ms) << double(clock.nsecsElapsed()) / 1e6;
            probe->numbers << *n;
        });
        probing.start(200);
    }
    loop.exec();
    phase.wallS += double(wall.elapsed()) / 1000.0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int devices = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int benches = argc > 2 ? std::max(1, atoi(argv[2])) : 8;

    QTemporaryDir dir;
    BenchServer server;
    const QString location = server.location();

    MemoryBuffer buffer;
    for (int a = 0; a < 0x800; ++a)
        buffer.set(uint16_t(a), uint8_t(a * 13 + 7));
    const QString hex = dir.filePath(QStringLiteral("fw.hex"));
    QFile f(hex);
    f.open(QIODevice::WriteOnly);
    f.write(HexFileWriter::image(buffer, 0x7FF));
    f.close();

    Probe probe;
    probe.db = std::make_shared<ProductionDatabase>(DatabaseLocation::parse(location));
    probe.sequence = std::make_unique<SqlSerialSequence>(probe.db, QStringLiteral("bench"), benchForm());
    QString error;
    if (!probe.sequence->open(&error))
        qFatal("%s", qPrintable(error));
    // In rounds, the two kinds of run alternating, so that a change of the
    // machine's load between them does not count as the reservation's.
    constexpr int Rounds = 4;
    Phase serials;
    Phase records;
    for (int round = 0; round < Rounds; ++round) {
        const int share = devices / Rounds + (round < devices % Rounds ? 1 : 0);
        runPhase(serials, &probe, location, hex, share, benches, 14 + round);
        runPhase(records, nullptr, location, hex, share, benches, 14 + round);
    }

    ProductionDatabase &db = *probe.db;
    const QString withSerial = QStringLiteral(" FROM tarvo_records WHERE serial_sequence = 'bench'");
    const qint64 used = BenchServer::scalar(db, QStringLiteral("SELECT COUNT(*)") + withSerial + QStringLiteral(" AND passed = 1"));
    const qint64 distinctUsed = BenchServer::scalar(db, QStringLiteral("SELECT COUNT(DISTINCT serial)") + withSerial + QStringLiteral(" AND passed = 1"));
    const qint64 failed = BenchServer::scalar(db, QStringLiteral("SELECT COUNT(*)") + withSerial + QStringLiteral(" AND passed = 0"));
    // A failed device's number is reused when a later device passed with it.
    const QString later = QStringLiteral("EXISTS (SELECT 1 FROM tarvo_records p WHERE p.serial_sequence = 'bench' AND "
                                         "p.passed = 1 AND p.serial = f.serial AND p.id > f.id)");
    const qint64 reused = BenchServer::scalar(db, QStringLiteral("SELECT COUNT(*) FROM tarvo_records f WHERE f.serial_sequence = 'bench' AND "
                                                    "f.passed = 0 AND ") + later);
    // Numbers of failed devices that no later device took: the probe took
    // them, or they were released last.
    QSqlQuery lost = db.newQuery();
    db.exec(lost, QStringLiteral("SELECT serial FROM tarvo_records f WHERE f.serial_sequence = 'bench' AND "
                                 "f.passed = 0 AND NOT ") + later);
    const QSet<quint64> probed(probe.numbers.cbegin(), probe.numbers.cend());
    QSet<quint64> notReusedNumbers;
    qint64 toProbe = 0;
    while (lost.next()) {
        const quint64 number = lost.value(0).toULongLong();
        if (probed.contains(number))
            ++toProbe;
        else
            notReusedNumbers.insert(number);
    }
    const qint64 notReused = notReusedNumbers.size();
    lost = QSqlQuery();
    const qint64 stillReleased = BenchServer::scalar(db, QStringLiteral("SELECT COUNT(*) FROM tarvo_reservations WHERE state = 'released'"));
    const qint64 stillReserved = BenchServer::scalar(db, QStringLiteral("SELECT COUNT(*) FROM tarvo_reservations WHERE state = 'reserved'"));
    const qint64 next = BenchServer::scalar(db, QStringLiteral("SELECT next_number FROM tarvo_sequences WHERE name = 'bench'"));
    QSqlQuery numbers = db.newQuery();
    db.exec(numbers, QStringLiteral("SELECT serial FROM tarvo_records WHERE serial_sequence = 'bench' AND passed = 1"));
    QSet<quint64> allUsed(probe.numbers.cbegin(), probe.numbers.cend());
    while (numbers.next())
        allUsed.insert(numbers.value(0).toULongLong());
    numbers = QSqlQuery();
    const qint64 probeUsed = probe.numbers.size();


    const double withMs = median(serials.ms);
    const double withoutMs = median(records.ms);
    std::printf("%d devices on %d benches (tarvo-cli --repeat --json program, AT89C2051, unpaced emulators), one PostgreSQL server\n",
                devices, benches);
    std::printf("with --serial-sequence: %d passed, %d failed, %.2f s wall, median %.2f ms per device\n", serials.passed,
                serials.failed, serials.wallS, withMs);
    std::printf("records only:           %d passed, %d failed, %.2f s wall, median %.2f ms per device\n", records.passed,
                records.failed, records.wallS, withoutMs);
    std::printf("a reservation adds %.2f ms per device (difference of the medians; target under 20 ms)\n", withMs - withoutMs);
    std::printf("reserve + commit by a ninth client every 200 ms under that load: median %.2f ms, 90th percentile %.2f ms "
                "(%lld reservations)\n",
                median(probe.ms), percentile(probe.ms, 0.9), probeUsed);
    std::printf("the same, marked written in between (as a device's number is): median %.2f ms; the bookkeeping of "
                "written numbers adds %.2f ms (target under 5 ms)\n",
                median(probe.markedMs), median(probe.markedMs) - median(probe.ms));
    std::printf("numbers: %lld used by devices, %lld distinct; %lld failed devices, %lld of their numbers given to a later "
                "device, %lld to the probe, %lld left released at the end, %lld still reserved; %lld handed out in all "
                "(%lld to the probe)\n",
                used, distinctUsed, failed, reused, toProbe, stillReleased, stillReserved, next - qint64(FirstSerial),
                probeUsed);
    const bool ok = used == distinctUsed && allUsed.size() == used + probeUsed && notReused == stillReleased
                    && stillReserved == 0 && next - qint64(FirstSerial) == used + probeUsed + stillReleased
                    && serials.exitFaults == 0 && records.exitFaults == 0 && serials.passed + serials.failed == devices;
    std::printf("%s\n", ok ? "no duplicate, no number lost: OK" : "CHECK FAILED");
    return ok ? 0 : 1;
}
