// Pictures of the dashboard for the README: a line of four benches with a
// day of records, served by tarvo-line and shown by headless Chromium.
//   take_line_screenshot OUT.png [WIDTH HEIGHT]
#include "DevToolsPage.h"
#include "LineFixture.h"
#include "LineProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

bool stage(LineFixture &line, QString *error)
{
    QRandomGenerator random(20261208);
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList steps{QStringLiteral("verify"), QStringLiteral("erase"), QStringLiteral("program"), QStringLiteral("blank")};
    const struct
    {
        const char *host, *port, *job, *lot, *device;
    } benches[] = {{"bench-1", "Com1", "blink", "2026-49A", "AT89C2051"},
                   {"bench-1", "Com2", "blink", "2026-49A", "AT89C2051"},
                   {"bench-2", "Com1", "romcheck", "R-17", "AT89C55"},
                   {"bench-3", "Com1", "ไฟกะพริบ", "2026-49B", "AT90S2313"}};
    quint64 serial = 100000;
    for (int minute = 24 * 60; minute > 0; minute -= 3) {
        const QDateTime at = now.addSecs(-60 * minute);
        // A quieter night shift.
        if (at.time().hour() < 6 && random.bounded(3) != 0)
            continue;
        const auto &b = benches[random.bounded(4)];
        LineFixture::Device d;
        d.time = at;
        d.host = QString::fromUtf8(b.host);
        d.port = QString::fromUtf8(b.port);
        d.job = QString::fromUtf8(b.job);
        d.lot = QString::fromUtf8(b.lot);
        d.device = QString::fromUtf8(b.device);
        d.serial = serial++;
        if (random.bounded(100) < 4)
            d.failedStep = steps[random.bounded(steps.size())];
        if (!line.add(d, error))
            return false;
    }
    const auto bench = [](const char *host, const char *port, const char *state, const char *command, qint64 devices,
                          const char *job, const char *lot, const char *step, const char *text) {
        BenchRow row;
        row.host = QString::fromUtf8(host);
        row.portEntry = QString::fromUtf8(port);
        row.state = QString::fromUtf8(state);
        row.command = QString::fromUtf8(command);
        row.devices = devices;
        row.job = QString::fromUtf8(job);
        row.lot = QString::fromUtf8(lot);
        row.step = QString::fromUtf8(step);
        row.text = QString::fromUtf8(text);
        return row;
    };
    for (const BenchRow &row : {bench("bench-1", "Com1", "running", "erase program verify lock2", 142, "blink", "2026-49A", "", ""),
                                bench("bench-1", "Com2", "waiting", "", 138, "blink", "2026-49A", "verify", "Verify........Fail:01A3"),
                                bench("bench-2", "Com1", "failed", "", 97, "romcheck", "R-17", "erase", "Erase.........Fail"),
                                bench("bench-3", "Com1", "stopped", "", 61, "ไฟกะพริบ", "2026-49B", "", "")})
        if (!line.setBench(row, error))
            return false;
    return line.retire(QStringLiteral("blink"), QStringLiteral("its bench stopped after writing it"), error)
           && line.retire(QStringLiteral("romcheck"), QStringLiteral("scrapped: cracked package"), error);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: take_line_screenshot OUT.png [WIDTH HEIGHT]\n");
        return 2;
    }
    const int width = argc == 4 ? std::atoi(argv[2]) : 1366;
    const int height = argc == 4 ? std::atoi(argv[3]) : 768;
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("line.db"));
    LineFixture line(database);
    QString error;
    LineProcess server;
    DevToolsPage page;
    if (!line.open(&error) || !stage(line, &error)
        || !server.start({QStringLiteral("--db"), database, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")}, &error)
        || !page.open(server.url() + QStringLiteral("/"), &error, width, height)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    if (page.waitUntil(QStringLiteral("Number(document.body.dataset.polls) >= 2 && document.getElementById('chart').complete"), 30000) < 0) {
        std::fprintf(stderr, "the page did not load\n");
        return 1;
    }
    const QByteArray png = page.screenshot(&error);
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (png.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(png) != png.size()) {
        std::fprintf(stderr, "no picture: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
