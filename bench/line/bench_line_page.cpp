// The dashboard's update latency and tarvo-line's CPU at idle:
//   bench_line_page [--db LOCATION] [--rounds N] [--idle-seconds S]
// A record is written (as a bench writes it) and the time until it shows
// in the JSON (/api/records as the page asks it, so its answer kept a
// second counts; asked every 10 ms) and in the page in headless
// Chromium (its DOM read every 20 ms) is taken, N times each at random
// phases of the page's polling. Then, with the page open and polling, the
// CPU time tarvo-line uses over S seconds (/proc/PID/stat).
#include "DevToolsPage.h"
#include "LineFixture.h"
#include "LineProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

// utime + stime of a process, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name in parentheses, which may hold blanks.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

QString stats(QList<qint64> ms)
{
    if (ms.isEmpty())
        return QStringLiteral("no samples");
    std::sort(ms.begin(), ms.end());
    return QStringLiteral("median %1 ms, max %2 ms, min %3 ms (%4 samples)")
        .arg(ms[ms.size() / 2]).arg(ms.last()).arg(ms.first()).arg(ms.size());
}

bool inJson(QNetworkAccessManager &network, const QString &url, const QByteArray &serial)
{
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(url)));
    if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 5000))
        reply->abort();
    const bool found = reply->readAll().contains(serial);
    delete reply;
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString location;
    int rounds = 20;
    int idleSeconds = 60;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--db"))
            location = args[i + 1];
        else if (args[i] == QLatin1String("--rounds"))
            rounds = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--idle-seconds"))
            idleSeconds = args[i + 1].toInt();
    }
    QTemporaryDir dir;
    if (location.isEmpty())
        location = dir.filePath(QStringLiteral("line.db"));
    LineFixture line(location);
    LineProcess server;
    DevToolsPage page;
    QString error;
    if (!line.open(&error) || !line.add(LineFixture::Device(), &error)
        || !server.start({QStringLiteral("--db"), location, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")}, &error)
        || !page.open(server.url() + QStringLiteral("/"), &error)
        || page.waitUntil(QStringLiteral("Number(document.body.dataset.polls) >= 1"), 30000) < 0) {
        std::fprintf(stderr, "bench_line_page: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("tarvo-line on %s, %s\n", qPrintable(location), qPrintable(server.url()));

    QNetworkAccessManager network;
    quint64 serial = 700000000;
    QList<qint64> json, dom;
    for (int r = 0; r < 2 * rounds; ++r) {
        QTest::qWait(int(QRandomGenerator::global()->bounded(1000)));
        LineFixture::Device d;
        d.serial = ++serial;
        if (!line.add(d, &error)) {
            std::fprintf(stderr, "bench_line_page: %s\n", qPrintable(error));
            return 1;
        }
        QElapsedTimer clock;
        clock.start();
        const QByteArray text = QByteArray::number(serial);
        if (r % 2 == 0) {
            while (clock.elapsed() < 10000 && !inJson(network, server.url() + QStringLiteral("/api/records?limit=50"), text))
                QTest::qWait(10);
            json.append(clock.elapsed());
        } else {
            const qint64 ms = page.waitUntil(QStringLiteral("document.getElementById('records').textContent.includes('%1')")
                                                 .arg(QString::fromLatin1(text)), 10000);
            dom.append(ms < 0 ? 10000 : clock.elapsed());
        }
    }
    std::printf("record committed -> in /api/records: %s\n", qPrintable(stats(json)));
    std::printf("record committed -> on the page:     %s\n", qPrintable(stats(dom)));

    const double before = cpuSeconds(server.processId());
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(idleSeconds * 1000);
    const double used = cpuSeconds(server.processId()) - before;
    std::printf("tarvo-line idle with the page polling: %.2f s of CPU in %.1f s (%.2f %% of a core)\n", used,
                wall.elapsed() / 1000.0, 100.0 * used / (wall.elapsed() / 1000.0));
    return 0;
}
