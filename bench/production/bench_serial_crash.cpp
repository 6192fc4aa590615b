// Serial numbers through crashes: eight tarvo-cli --repeat benches on one
// PostgreSQL server program an AT89C2051 each (unpaced emulators); every 20
// devices one bench, in turn, is killed with SIGKILL in the middle of a
// device and started again, and once, half-way, the server is stopped at
// once (-m immediate) and started again (benches stopped by the outage are
// started again too). Before each device the socket's serial bytes are
// erased, and after it (or after the kill) whatever number they hold is
// noted: a number in two devices is a duplicate, which must not happen.
// Prints the numbers used, retired, released and the duplicates, and the
// median time per device.
//   bench_serial_crash [devices in all] [benches]
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
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {

constexpr uint8_t Type2051 = 0x01;
constexpr uint16_t SerialAddress = 0x7F0;
const QByteArray Erased(4, char(0xFF));

struct Bench
{
    std::unique_ptr<ProgrammerEmulator> emu;
    std::unique_ptr<QProcess> cli;
    QByteArray pending;
    int left = 0;
    bool inDevice = false;
    QElapsedTimer device;
};

struct Line
{
    QString location;
    QString hex;
    QList<std::shared_ptr<Bench>> benches;
    // The number each device ended up holding; none when the serial bytes
    // stayed erased.
    QList<std::optional<quint64>> devices;
    QList<double> ms;
    int done = 0;
    int kills = 0;
    int restarts = 0;
    int running = 0;
    QEventLoop loop;
};

std::optional<quint64> numberIn(const ProgrammerEmulator &emu)
{
    const QByteArray bytes = emu.flash(Type2051).mid(SerialAddress, 4);
    if (bytes == Erased)
        return std::nullopt;
    quint64 n = 0;
    for (int i = 3; i >= 0; --i)
        n = (n << 8) | uint8_t(bytes.at(i));
    return n;
}

void start(Line &line, const std::shared_ptr<Bench> &b);

// The device under way ends: what its serial bytes hold is noted.
void endDevice(Line &line, Bench &b)
{
    if (!b.inDevice)
        return;
    b.inDevice = false;
    line.devices << numberIn(*b.emu);
}

void start(Line &line, const std::shared_ptr<Bench> &b)
{
    // A new socket each time: a killed run may have left the old one
    // mid-block.
    b->emu = std::make_unique<ProgrammerEmulator>();
    b->emu->setSocketDevice(QStringLiteral("AT89C2051"));
    QString error;
    if (!b->emu->start(&error))
        qFatal("emulator: %s", qPrintable(error));
    b->pending.clear();
    b->cli = std::make_unique<QProcess>();
    b->cli->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Bench *raw = b.get();
    QObject::connect(b->cli.get(), &QProcess::readyReadStandardOutput, [raw, &line]() {
        raw->pending += raw->cli->readAllStandardOutput();
        for (qsizetype end; (end = raw->pending.indexOf('\n')) >= 0;) {
            const QJsonObject event = QJsonDocument::fromJson(raw->pending.left(end)).object();
            raw->pending.remove(0, end + 1);
            const QString kind = event.value(QLatin1String("event")).toString();
            if (kind == QLatin1String("device")) {
                line.ms << double(raw->device.nsecsElapsed()) / 1e6;
                endDevice(line, *raw);
                --raw->left;
                ++line.done;
            } else if (kind == QLatin1String("waiting")) {
                if (raw->left <= 0) {
                    raw->cli->closeWriteChannel();
                    continue;
                }
                raw->emu->setFlash(Type2051, Erased, SerialAddress);
                raw->inDevice = true;
                raw->device.start();
                raw->cli->write("\n");
            }
        }
    });
    QObject::connect(b->cli.get(), &QProcess::finished, [b, &line](int code, QProcess::ExitStatus status) {
        const bool killed = status == QProcess::CrashExit;
        // A killed device counts as one device whatever it holds.
        if (b->inDevice) {
            endDevice(line, *b);
            --b->left;
            ++line.done;
        }
        if (b->left > 0 && (killed || code >= 2)) {
            // A bench that cannot get going again is a fault of its own.
            if (++line.restarts > 500)
                qFatal("tarvo-cli keeps stopping (exit %d)", code);
            QTimer::singleShot(killed ? 0 : 500, [b, &line]() { start(line, b); });
            return;
        }
        if (--line.running == 0)
            line.loop.quit();
    });
    b->cli->start(QStringLiteral(TARVO_CLI_PATH),
                  {"--port", b->emu->slavePath(), "--device", "AT89C2051", "--file", line.hex, "--db", line.location,
                   "--serial-sequence", "crash", "--serial", QStringLiteral("7F0:1"), "--repeat", "--json", "program"});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int devices = argc > 1 ? std::max(1, atoi(argv[1])) : 400;
    const int benches = argc > 2 ? std::max(1, atoi(argv[2])) : 8;

    QTemporaryDir dir;
    BenchServer server;

    Line line;
    line.location = server.location();
    // The image leaves the serial bytes free: they hold only the number.
    MemoryBuffer buffer;
    for (int a = 0; a < 0x7C0; ++a)
        buffer.set(uint16_t(a), uint8_t(a * 13 + 7));
    line.hex = dir.filePath(QStringLiteral("fw.hex"));
    QFile f(line.hex);
    f.open(QIODevice::WriteOnly);
    f.write(HexFileWriter::image(buffer, 0x7BF));
    f.close();

    QElapsedTimer wall;
    wall.start();
    line.running = benches;
    for (int i = 0; i < benches; ++i) {
        auto b = std::make_shared<Bench>();
        b->left = devices / benches + (i < devices % benches ? 1 : 0);
        line.benches << b;
        start(line, b);
    }
    // Every 20 devices one bench, in turn, dies in the middle of a device
    // (a random moment of its program step); half-way the server restarts.
    QRandomGenerator dice(17);
    int nextKill = 20;
    bool restarted = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&]() {
        if (line.done >= nextKill) {
            nextKill += 20;
            const auto &b = line.benches.at(line.kills % benches);
            if (b->cli && b->cli->state() == QProcess::Running && b->left > 1) {
                const qint64 pid = b->cli->processId();
                QTimer::singleShot(int(dice.bounded(150)), [pid, &line]() {
                    if (::kill(pid_t(pid), SIGKILL) == 0)
                        ++line.kills;
                });
            }
        }
        if (!restarted && line.done >= devices / 2) {
            restarted = true;
            server.run(QStringLiteral("crash"));
            server.run(QStringLiteral("resume"));
        }
    });
    watch.start(5);
    QTimer::singleShot(30 * 60 * 1000, []() { qFatal("the line did not finish within 30 minutes"); });
    line.loop.exec();
    const double wallS = double(wall.elapsed()) / 1000.0;

    auto db = std::make_shared<ProductionDatabase>(DatabaseLocation::parse(line.location));
    // One more reservation takes back what the last killed benches held.
    SqlSerialSequence last(db, QStringLiteral("crash"), std::nullopt);
    QString error;
    std::optional<quint64> extra;
    if (!last.open(&error) || !(extra = last.reserve(&error)) || !last.release(*extra, &error))
        qFatal("%s", qPrintable(error));
    const auto count = [&](const char *state) {
        return BenchServer::scalar(*db, QStringLiteral("SELECT COUNT(*) FROM tarvo_reservations WHERE state = '%1'").arg(QLatin1String(state)));
    };
    const qint64 used = count("used");
    const qint64 retired = count("retired");
    const qint64 released = count("released");
    const qint64 held = count("reserved") + count("written");
    const qint64 records = BenchServer::scalar(*db, QStringLiteral("SELECT COUNT(*) FROM tarvo_records"));

    QHash<quint64, int> inDevices;
    int blank = 0;
    for (const std::optional<quint64> &n : line.devices)
        n ? ++inDevices[*n] : ++blank;
    int duplicates = 0;
    for (auto it = inDevices.cbegin(); it != inDevices.cend(); ++it)
        duplicates += it.value() > 1 ? 1 : 0;
    std::sort(line.ms.begin(), line.ms.end());
    std::printf("%d devices on %d benches (tarvo-cli --repeat --json program, AT89C2051, unpaced emulators), one PostgreSQL "
                "server; %d benches killed with SIGKILL mid-device, the server stopped at once and restarted once, %d "
                "restarts of tarvo-cli, %.1f s wall\n",
                int(line.devices.size()), benches, line.kills, line.restarts, wallS);
    std::printf("numbers: %lld used, %lld retired, %lld released, %lld still held; %lld records; %d devices stopped "
                "before their number went out (killed, or the server down)\n",
                used, retired, released, held, records, blank);
    std::printf("median %.2f ms per device that ran to its end\n", line.ms.isEmpty() ? 0.0 : line.ms.at(line.ms.size() / 2));
    std::printf("numbers in two devices: %d %s\n", duplicates, duplicates == 0 ? "(OK)" : "(CHECK FAILED)");
    return duplicates == 0 && held == 0 ? 0 : 1;
}
