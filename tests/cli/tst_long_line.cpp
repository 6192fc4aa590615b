// A line's run through tarvo-cli past 255 devices, from a pipe as a line's
// controller feeds it: the counters and the log keep counting.
#include "CliProcess.h"
#include "EmulatorReceived.h"
#include "JsonLines.h"
#include "ProductionEmulator.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

class TestLongLine : public QObject
{
    Q_OBJECT
private slots:
    void counterPassesTwoHundredFiftyFive()
    {
        constexpr int Devices = 258;
        auto emu = startEmulator();
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("line.jsonl"));
        QElapsedTimer clock;
        clock.start();
        // Erase: the shortest exchange a device has (about 0.1 s each).
        const auto r = CliProcess::runWithInput({"--port", emu->slavePath(), "--device", "AT89C2051", "--repeat",
                                                 "--log", log, "erase"},
                                                QByteArray(Devices, '\n'), 170000);
        qInfo("%d devices in %.1f s", Devices, double(clock.elapsed()) / 1000.0);
        QVERIFY(r.finished);
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains("Device 257 passed. Success : 257  Failure : 0\n"), r.out.right(400).constData());
        QVERIFY(r.out.contains("Device 258 passed. Success : 258  Failure : 0\n"));
        QVERIFY(r.out.contains("Devices: 258, passed: 258, failed: 0, time per device: "));

        const QList<QJsonObject> records = readJsonLines(log);
        QCOMPARE(records.size(), Devices);
        for (int i = 0; i < Devices; ++i) {
            QCOMPARE(records.at(i).value(QStringLiteral("success")).toInt(), i + 1);
            QCOMPARE(records.at(i).value(QStringLiteral("failure")).toInt(), 0);
            QVERIFY(records.at(i).value(QStringLiteral("passed")).toBool());
        }
        const auto erases = [&emu] {
            int n = 0;
            for (const QString &word : emu->commandWords())
                n += word.startsWith(QLatin1String("05")) ? 1 : 0;
            return n;
        };
        QVERIFY2(EmulatorReceived::arrived([&] { return erases() == Devices; }), qPrintable(QString::number(erases())));
    }
};

QTEST_GUILESS_MAIN(TestLongLine)
#include "tst_long_line.moc"
