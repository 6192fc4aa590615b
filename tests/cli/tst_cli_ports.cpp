// tarvo-cli finding the programmer: --port auto over ports of which only the
// last answers, usb: and linked names, and --list-ports. The ports offered
// are named by TARVO_PORTS, so the machine's own ports stay untouched.
#include "CliProcess.h"
#include "ComPortMap.h"
#include "PortChoice.h"
#include "ProgrammerEmulator.h"
#include "PtyPair.h"
#include "TestClasses.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

// All a port that is not the programmer may see: the detection frame and a CAN.
const QByteArray DetectionOnly = QByteArray("\x18\x02" "0D000000" "\x03" "10" "\x18");

// The far end of a pty that records what it gets; while chattering it
// sends NMEA-like sentences all the time, as a GPS receiver does.
class FarEnd
{
public:
    explicit FarEnd(bool chatter)
        : m_thread([this, chatter] {
            while (!m_stop) {
                if (chatter)
                    m_pty.write("$GPGSA,A,3,,,,,,,,,,,,,2.5,1.3,2.1*39\r\n");
                const QByteArray got = m_pty.read(4096, 20);
                std::lock_guard lock(m_mutex);
                m_received += got;
            }
        })
    {
    }
    ~FarEnd()
    {
        m_stop = true;
        m_thread.join();
    }
    QString path() const { return m_pty.slavePath(); }
    QByteArray received()
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    // Waits (bounded) until at least `count` bytes came.
    QByteArray waitFor(qsizetype count)
    {
        static_cast<void>(QTest::qWaitFor([&] { return received().size() >= count; }, 5000));
        QTest::qWait(100); // anything beyond it would show now
        return received();
    }

private:
    PtyPair m_pty;
    std::mutex m_mutex;
    QByteArray m_received;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

QString ports(const QStringList &paths)
{
    return paths.join(QDir::listSeparator());
}

} // namespace

class TestCliPorts : public QObject
{
    Q_OBJECT
private slots:
    void autoUsesTheFirstPortThatAnswers()
    {
        PtyPair heldPty;
        QSerialPort holder; // another program's port: never opened, never written to
        holder.setPortName(heldPty.slavePath());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        FarEnd gps(true), silent(false);
        ProgrammerEmulator emu;
        QString error;
        QVERIFY2(emu.start(&error), qPrintable(error));

        const auto r = CliProcess::run({"--port", "auto", "detect"},
                                       {{"TARVO_PORTS", ports({heldPty.slavePath(), gps.path(), silent.path(), emu.slavePath()})}});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.outLines(), (QStringList{QStringLiteral("Port chosen: %1 (Com4)").arg(emu.slavePath()),
                                            "Search Hardware On Com4 OK", "Bios Code 15/08/2003"}));
        QCOMPARE(r.errLines(), (QStringList{QStringLiteral("Skipping %1 (Com1): busy (pid %2)").arg(heldPty.slavePath()).arg(::getpid()),
                                            QStringLiteral("Trying %1 (Com2)").arg(gps.path()),
                                            QStringLiteral("Trying %1 (Com3)").arg(silent.path()),
                                            QStringLiteral("Trying %1 (Com4)").arg(emu.slavePath())}));
        QCOMPARE(gps.waitFor(DetectionOnly.size()), DetectionOnly);
        QCOMPARE(silent.waitFor(DetectionOnly.size()), DetectionOnly);
        QCOMPARE(heldPty.drain(100), QByteArray());
        QCOMPARE(emu.commandWords(), QStringList{"0D000000"});
        QVERIFY(holder.isOpen());
    }

    void autoWithoutAnswerEndsWithExit3()
    {
        FarEnd silent(false);
        const auto r = CliProcess::run({"--port", "auto", "--json", "detect"},
                                       {{"TARVO_PORTS", ports({"/dev/tarvo-no-such-port", silent.path()})}});
        QCOMPARE(r.exitCode, 3);
        QCOMPARE(r.errLines().last(),
                 QStringLiteral("Error: No programmer answered on any port (/dev/tarvo-no-such-port (missing), %1 (no answer))")
                     .arg(silent.path()));
        const QStringList events = r.outLines();
        QCOMPARE(QJsonDocument::fromJson(events.first().toUtf8()).object().value("reason").toString(), QStringLiteral("missing"));
        QCOMPARE(QJsonDocument::fromJson(events.last().toUtf8()).object().value("code").toInt(), 3);
        QCOMPARE(silent.waitFor(DetectionOnly.size()), DetectionOnly);

        // Nothing to search at all.
        const auto none = CliProcess::run({"--port", "auto", "detect"}, {{"TARVO_PORTS", ""}});
        QCOMPARE(none.exitCode, 3);
        QCOMPARE(none.errLines(), QStringList{"Error: No serial port found to search for the programmer"});
    }

    void linksAreFollowedAndUsbSerialsLookedUp()
    {
        ProgrammerEmulator emu;
        QString error;
        QVERIFY2(emu.start(&error), qPrintable(error));
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("usb-Maker_Adapter_A50285BI-if00-port0"));
        QVERIFY(QFile::link(emu.slavePath(), link));
        const QMap<QString, QString> env{{"TARVO_PORTS", emu.slavePath()}};
        auto r = CliProcess::run({"--port", link, "detect"}, env);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.outLines(), (QStringList{QStringLiteral("Port chosen: %1 (Com1)").arg(emu.slavePath()),
                                            "Search Hardware On Com1 OK", "Bios Code 15/08/2003"}));

        r = CliProcess::run({"--port", "usb:A50285BI", "detect"}, env);
        QCOMPARE(r.exitCode, 3);
        QCOMPARE(r.errLines(), QStringList{"Error: No USB serial adapter with the serial number \"A50285BI\""});
        r = CliProcess::run({"--port", "ttyUSB0", "detect"}, env);
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(emu.commandWords(), QStringList{"0D000000"});
    }

    void listPorts()
    {
        PtyPair free, held;
        QSerialPort holder;
        holder.setPortName(held.slavePath());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        const QMap<QString, QString> env{{"TARVO_PORTS", ports({free.slavePath(), held.slavePath(), "/dev/tarvo-gone"})},
                                         {"TARVO_COM4", free.slavePath()}};

        auto r = CliProcess::run({"--list-ports"}, env);
        QCOMPARE(r.exitCode, 0);
        QStringList rows;
        for (const QString &line : r.outLines())
            rows << line.simplified();
        // TARVO_COM4 takes the free port: the others fill Com1 and Com2.
        QCOMPARE(rows, (QStringList{QStringLiteral("Com1 %1 - - - - busy (pid %2)").arg(held.slavePath()).arg(::getpid()),
                                    "Com2 /dev/tarvo-gone - - - - missing",
                                    QStringLiteral("Com4 %1 - - - - free").arg(free.slavePath())}));
        // Aligned: the state column starts at the same place on every line.
        QCOMPARE(r.outLines().at(0).indexOf("busy"), r.outLines().at(2).indexOf("free"));

        r = CliProcess::run({"--list-ports", "--json"}, env);
        QCOMPARE(r.exitCode, 0);
        QList<QJsonObject> objects;
        for (const QString &line : r.outLines())
            objects << QJsonDocument::fromJson(line.toUtf8()).object();
        QCOMPARE(objects.size(), 4);
        QCOMPARE(objects[0].value("event").toString(), QStringLiteral("port"));
        QCOMPARE(objects[0].value("com").toString(), QStringLiteral("Com1"));
        QCOMPARE(objects[0].value("path").toString(), held.slavePath());
        QCOMPARE(objects[0].value("busy").toBool(), true);
        QCOMPARE(objects[0].value("ownerPid").toInteger(), qint64(::getpid()));
        QCOMPARE(objects[1].value("state").toString(), QStringLiteral("missing"));
        QCOMPARE(objects[2].value("busy").toBool(), false);
        QVERIFY(objects[2].value("usbId").isNull());
        QCOMPARE(objects[3].value("event").toString(), QStringLiteral("exit"));

        r = CliProcess::run({"--list-ports", "--port", "Com1"}, env);
        QCOMPARE(r.exitCode, 2);
    }

    void listingOpensNoPort()
    {
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            QSKIP("strace is not installed");
        PtyPair one, two;
        QTemporaryDir dir;
        const QString trace = dir.filePath(QStringLiteral("trace"));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARVO_PORTS"), ports({one.slavePath(), QStringLiteral("/dev/./") + two.slavePath().mid(5)}));
        process.setProcessEnvironment(env);
        process.start(strace, {"-f", "-e", "trace=openat,open,creat", "-o", trace, TARVO_CLI_PATH, "--list-ports"});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardOutput().contains(two.slavePath().toUtf8()));
        QFile f(trace);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray calls = f.readAll();
        QVERIFY(calls.contains("openat(")); // the trace works
        // Neither the ports named nor the machine's own (listed all the same).
        static const QRegularExpression portOpen(QStringLiteral("open(at)?\\([^\"]*\"/dev/(\\./)?(pts/|tty)"));
        QVERIFY2(!portOpen.match(QString::fromUtf8(calls)).hasMatch(), calls.constData());
    }

    void consoleIsListedAndNeverSearched()
    {
        ProgrammerEmulator emu;
        QString error;
        QVERIFY2(emu.start(&error), qPrintable(error));
        // A sysfs whose console is the emulator's pty.
        QTemporaryDir sysfs;
        QVERIFY(QDir(sysfs.path()).mkpath(QStringLiteral("class/tty/console")));
        QFile active(sysfs.filePath(QStringLiteral("class/tty/console/active")));
        QVERIFY(active.open(QIODevice::WriteOnly));
        active.write(emu.slavePath().mid(5).toUtf8() + "\n");
        active.close();
        const QMap<QString, QString> env{{"TARVO_PORTS", emu.slavePath()}, {"TARVO_SYSFS_ROOT", sysfs.path()}};

        auto r = CliProcess::run({"--list-ports"}, env);
        QCOMPARE(r.outLines().value(0).simplified(), QStringLiteral("Com1 %1 - - - - console").arg(emu.slavePath()));
        r = CliProcess::run({"--port", "auto", "--json", "detect"}, env);
        QCOMPARE(r.exitCode, 3);
        const QJsonObject skipped = QJsonDocument::fromJson(r.outLines().value(0).toUtf8()).object();
        QCOMPARE(skipped.value("action").toString(), QStringLiteral("skipped"));
        QCOMPARE(skipped.value("reason").toString(), QStringLiteral("console"));
        QCOMPARE(emu.commandWords(), QStringList());
        // Chosen by name it works.
        r = CliProcess::run({"--port", "Com1", "detect"}, env);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(emu.commandWords(), QStringList{"0D000000"});
    }

    void quietSearchAndOneRowPerEntry()
    {
        FarEnd silent(false);
        ProgrammerEmulator emu;
        QString error;
        QVERIFY2(emu.start(&error), qPrintable(error));
        const QMap<QString, QString> env{{"TARVO_PORTS", ports({silent.path(), emu.slavePath()})},
                                         {"TARVO_COM1", silent.path()},
                                         {"TARVO_COM2", QStringLiteral("/dev/./") + silent.path().mid(5)}};
        // The silent port is tried once, and its silence is a search event, not an error.
        auto r = CliProcess::run({"--port", "auto", "--json", "detect"}, env);
        QCOMPARE(r.exitCode, 0);
        QStringList searched;
        for (const QString &line : r.outLines()) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            QVERIFY2(o.value("level").toString() != QLatin1String("error"), qPrintable(line));
            if (o.value("event").toString() == QLatin1String("port-search"))
                searched << o.value("com").toString() + ' ' + o.value("action").toString();
        }
        QCOMPARE(searched, (QStringList{"Com1 trying", "Com1 no-answer", "Com3 trying"}));
        QCOMPARE(silent.waitFor(DetectionOnly.size()), DetectionOnly);

        // Two spellings of one device are not two ports to run on.
        r = CliProcess::run({"--port", silent.path(), "--port", QStringLiteral("/dev/./") + silent.path().mid(5), "detect"}, env);
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.errLines().value(0), QStringLiteral("tarvo-cli: --port names the same port twice (%1)").arg(silent.path()));

        r = CliProcess::run({"--list-ports"}, env);
        QStringList rows;
        for (const QString &line : r.outLines())
            rows << line.simplified();
        QCOMPARE(rows, (QStringList{QStringLiteral("Com1 %1 - - - - free").arg(silent.path()),
                                    QStringLiteral("Com2 %1 - - - - free same device as Com1").arg(silent.path()),
                                    QStringLiteral("Com3 %1 - - - - free").arg(emu.slavePath())}));
    }
};

// Resolving --port values over a table of ports, as a search gets them.
class TestPortChoice : public QObject
{
    Q_OBJECT
private slots:
    void usbSerialNumbers()
    {
        auto adapter = [](const char *name, const char *serial, const char *location) {
            PortDescription p;
            p.name = QString::fromLatin1(name);
            p.path = QStringLiteral("/dev/") + p.name;
            p.usb = true;
            p.serialNumber = QString::fromLatin1(serial);
            p.usbLocation = QString::fromLatin1(location);
            return p;
        };
        const ComPortMap map = ComPortMap::build({adapter("ttyUSB2", "FT2", "1-1:1.1"), adapter("ttyUSB1", "FT2", "1-1:1.0"),
                                                  adapter("ttyUSB0", "a5", "1-2:1.0")},
                                                 {}, ComPortMap::Platform::Linux);
        PortChoice c = PortChoice::resolve("usb:A5", map);
        QVERIFY(!c.search);
        QCOMPARE(c.candidates.size(), 1);
        QCOMPARE(c.candidates[0].path, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(c.candidates[0].comNumber, 3);
        // Both interfaces of a dual adapter: the detection decides.
        c = PortChoice::resolve("usb:FT2", map);
        QVERIFY(c.search);
        QCOMPARE(c.candidates.size(), 2);
        QCOMPARE(c.candidates[0].path, QStringLiteral("/dev/ttyUSB1"));

        c = PortChoice::resolve("COM2", map);
        QCOMPARE(c.candidates[0].path, QStringLiteral("/dev/ttyUSB2"));
        QVERIFY(!c.indirect);
        QCOMPARE(PortChoice::resolve("Com5", map).usageError.isEmpty(), false);
        QCOMPARE(PortChoice::resolve("usb:", map).usageError.isEmpty(), false);
        QCOMPARE(PortChoice::resolve("AUTO", map).candidates.size(), 3);
    }
};

int main(int argc, char **argv)
{
    return runTestClasses<TestCliPorts, TestPortChoice>(argc, argv);
}

#include "tst_cli_ports.moc"
