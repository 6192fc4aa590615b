// Ports another process holds, named in every spelling a user may write:
// tarvo-cli and the window's port must refuse them without sending a byte,
// and must leave the holder's exclusive use in place. Run as the test's own
// user and, when that is root, also as nobody (setpriv).
#include "CliProcess.h"
#include "ComPort.h"
#include "PtyPair.h"
#include "TestClasses.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The command line that runs a program as the given user ("" for ourselves).
QStringList asUser(const QString &user, const QStringList &command)
{
    if (user.isEmpty())
        return command;
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid"), user, QStringLiteral("--regid"),
                       user == QLatin1String("nobody") ? QStringLiteral("nogroup") : user,
                       QStringLiteral("--clear-groups"), QStringLiteral("--")}
        + command;
}

CliProcess::Result runCli(const QString &user, const QStringList &arguments, const QString &ports)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARVO_PORTS"), ports);
    process.setProcessEnvironment(env);
    const QStringList command = asUser(user, QStringList{QStringLiteral(TARVO_CLI_PATH)} + arguments);
    process.start(command.first(), command.mid(1));
    process.closeWriteChannel();
    CliProcess::Result r;
    r.finished = process.waitForFinished(30000);
    if (!r.finished)
        process.kill();
    r.exitCode = process.exitCode();
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
    return r;
}

// Another program holding the port until it is destroyed.
class Holder
{
public:
    Holder(const QString &user, const QString &path, bool exclusive)
    {
        QStringList command{QStringLiteral(TARVO_PORT_HOLDER), path};
        if (exclusive)
            command << QStringLiteral("exclusive");
        command = asUser(user, command);
        m_process.start(command.first(), command.mid(1));
        m_held = m_process.waitForReadyRead(10000) && m_process.readAllStandardOutput().startsWith("held");
    }
    ~Holder()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool held() const { return m_held; }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
    bool m_held = false;
};

// The users to run as: ourselves, and nobody when we are root.
QStringList users()
{
    QStringList out{QString()};
    if (::geteuid() == 0 && !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        out << QStringLiteral("nobody");
    return out;
}

} // namespace

class TestHeldPorts : public QObject
{
    Q_OBJECT
private slots:
    void heldPortsInEverySpelling_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("exclusive");
        for (const QString &user : users()) {
            const QByteArray who = user.isEmpty() ? QByteArray("self") : user.toLatin1();
            QTest::newRow(who + ", shared") << user << false;
            QTest::newRow(who + ", exclusive") << user << true;
        }
    }

    void heldPortsInEverySpelling()
    {
        QFETCH(QString, user);
        QFETCH(bool, exclusive);
        PtyPair line;
        QVERIFY(line.isValid());
        const QString device = line.slavePath(); // /dev/pts/N
        QVERIFY(::chmod(QFile::encodeName(device).constData(), 0666) == 0);
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        const QString linkedFolder = dir.filePath(QStringLiteral("pts"));
        QVERIFY(QFile::link(QStringLiteral("/dev/pts"), linkedFolder));
        const QString number = device.mid(device.lastIndexOf(QLatin1Char('/')) + 1);
        const QStringList spellings{QStringLiteral("/dev//pts/") + number, QStringLiteral("/dev/./pts/") + number,
                                    linkedFolder + QLatin1Char('/') + number};

        Holder holder(user, device, exclusive);
        QVERIFY(holder.held());
        QCOMPARE(line.isExclusive(), exclusive);
        const QString heldBy = QStringLiteral("busy (pid %1)").arg(holder.pid());
        for (const QString &spelling : spellings) {
            const auto named = runCli(user, {"--port", spelling, "detect"}, QString());
            QVERIFY2(named.finished, qPrintable(spelling));
            QCOMPARE(named.exitCode, 3);
            QVERIFY2(named.err.contains("ie_Open - device already open"), named.err.constData());
            QCOMPARE(line.drain(100), QByteArray());
            QCOMPARE(line.isExclusive(), exclusive);

            const auto searched = runCli(user, {"--port", "auto", "detect"}, spelling);
            QCOMPARE(searched.exitCode, 3);
            QVERIFY2(searched.err.contains(QStringLiteral("Skipping %1 (Com1): %2").arg(device, heldBy).toUtf8()),
                     searched.err.constData());
            QCOMPARE(line.drain(100), QByteArray());
            QCOMPARE(line.isExclusive(), exclusive);

            const auto listed = runCli(user, {"--list-ports"}, spelling);
            QCOMPARE(listed.exitCode, 0);
            QVERIFY2(listed.out.contains(heldBy.toUtf8()), listed.out.constData());
        }
        QCOMPARE(line.isExclusive(), exclusive);
    }

    void theWindowsPortRefusesEverySpelling()
    {
        PtyPair line;
        const QString device = line.slavePath();
        const QString number = device.mid(device.lastIndexOf(QLatin1Char('/')) + 1);
        Holder holder(QString(), device, true);
        QVERIFY(holder.held());
        for (const QString &spelling : {QStringLiteral("/dev//pts/") + number, QStringLiteral("/dev/./pts/") + number}) {
            qputenv("TARVO_COM2", spelling.toLocal8Bit());
            ComPort port;
            port.setComNumber(2);
            QVERIFY(!port.open());
            QCOMPARE(port.errorString(), QStringLiteral("ie_Open - device already open"));
            QVERIFY(line.isExclusive());
        }
        qunsetenv("TARVO_COM2");
    }

    void aPortLetGoIsUsedAgain()
    {
        // Without a holder the same spelling reaches the line: the refusals
        // above are the holder's doing.
        PtyPair line;
        const QString device = line.slavePath();
        const QString spelling = QStringLiteral("/dev/./pts/") + device.mid(device.lastIndexOf(QLatin1Char('/')) + 1);
        {
            Holder holder(QString(), device, false);
            QVERIFY(holder.held());
        }
        const auto r = runCli(QString(), {"--port", spelling, "detect"}, QString());
        QCOMPARE(r.exitCode, 3);
        QVERIFY(line.drain(3000).startsWith("\x18\x02" "0D000000"));
    }
};

int main(int argc, char **argv)
{
    return runTestClasses<TestHeldPorts>(argc, argv);
}

#include "tst_held_ports.moc"
