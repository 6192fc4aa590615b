#include "DeviceCatalogue.h"
#include "FileChooser.h"
#include "EmulatorReceived.h"
#include "MessageBoxPrompter.h"
#include "ProgrammerEmulator.h"
#include "ProgrammerLink.h"
#include "TTarvoForm.h"
#include "TarvoApplication.h"
#include "TestFiles.h"
#include "WindowDriver.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

// The main window in a process of its own, as the operator runs it, against
// the emulated programmer: what reaches it from outside the window (a line
// that keeps sending, the signals that end a program).

namespace {

const char WindowFlag[] = "--window";
const char *const Device = "AT89C55";

// ---- the child: the real window, driven from its standard input ----------

// File > Save answered with the path in SaveToVariable.
class SavePath : public FileChooser
{
public:
    QString openFileName() override { return {}; }
    QString saveFileName() override { return qEnvironmentVariable(SaveToVariable); }
    static constexpr char SaveToVariable[] = "TARVO_TEST_SAVE_TO";
};

// Says "ready" on standard output once the window is where the parent wants
// it: "idle" after a detection with the device chosen, "armed" with Read
// waiting for Run, "running" once Run was pressed. A line "read" on standard
// input (arms Read if need be and) presses Run; a line "save" saves the
// buffer, says the text of every message box (answered with its default
// button) and then "saved"; a line "stop" presses Stop and says "question"
// once the stop question is open (left open).
class WindowChild : public QObject
{
public:
    WindowChild(TTarvoForm &form, const QByteArray &mode)
        : m_form(form)
        , m_mode(mode)
        , m_input(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_input, &QSocketNotifier::activated, this, &WindowChild::command);
        m_poll.setInterval(10);
        connect(&m_poll, &QTimer::timeout, this, &WindowChild::poll);
        m_boxes.setInterval(10);
        connect(&m_boxes, &QTimer::timeout, this, &WindowChild::answerBox);
        form.setFileChooser(&m_savePath);
        QTimer::singleShot(0, this, &WindowChild::prepare);
    }

private:
    const TarvoLayout &ui() { return m_form.controls(); }
    bool armed() { return m_form.runner().active() && !m_form.runner().running() && m_form.runEnabled(); }

    void prepare()
    {
        WindowDriver::chooseEntry(ui().SelectComPort, 0);
        WindowDriver::chooseEntry(ui().SelectDevice, DeviceCatalogue::indexOf(QLatin1String(Device)));
        if (m_mode == "idle")
            say("ready");
        else
            arm(m_mode == "running");
    }
    // Read waits for Run inside its handler: trigger it from the event loop.
    void arm(bool run)
    {
        m_runWhenArmed = run;
        QTimer::singleShot(0, ui().ReadDevice, &QAction::trigger);
        m_poll.start();
    }
    void poll()
    {
        if (!armed())
            return;
        m_poll.stop();
        if (m_mode != "idle" && !m_readySaid) {
            m_readySaid = true;
            say("ready");
        }
        if (m_runWhenArmed)
            QTimer::singleShot(0, ui().StartRun, &QPushButton::click);
    }
    void command()
    {
        char line[64];
        const ssize_t n = ::read(STDIN_FILENO, line, sizeof line);
        if (n <= 0) {
            m_input.setEnabled(false);
            return;
        }
        if (std::strncmp(line, "stop", 4) == 0) {
            QTimer::singleShot(0, ui().StopRun, &QPushButton::click);
            auto *open = new QTimer(this);
            open->setInterval(10);
            connect(open, &QTimer::timeout, open, [open] {
                if (!qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                    return;
                open->stop();
                say("question");
            });
            open->start();
        } else if (std::strncmp(line, "save", 4) == 0) {
            m_boxes.start();
            QTimer::singleShot(0, this, [this] {
                ui().FileSaveItem->trigger();
                m_boxes.stop();
                say("saved");
            });
        } else if (std::strncmp(line, "read", 4) == 0) {
            m_readySaid = true;
            if (armed()) {
                QTimer::singleShot(0, ui().StartRun, &QPushButton::click);
            } else {
                arm(true);
            }
        }
    }
    void answerBox()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->defaultButton())
            return;
        say(qPrintable(QStringLiteral("box: ") + box->text()));
        box->defaultButton()->click();
    }
    static void say(const char *text)
    {
        std::printf("%s\n", text);
        std::fflush(stdout);
    }

    TTarvoForm &m_form;
    QByteArray m_mode;
    QSocketNotifier m_input;
    QTimer m_poll;
    QTimer m_boxes;
    SavePath m_savePath;
    bool m_runWhenArmed = false;
    bool m_readySaid = false;
};

int runWindow(int argc, char **argv, const QByteArray &mode)
{
    TarvoApplication app(argc, argv);
    MessageBoxPrompter prompter;
    app.setPrompter(&prompter);
    TTarvoForm form(prompter);
    prompter.setParentWidget(&form);
    form.show();
    app.closeOnSignals(&form);
    WindowChild child(form, mode);
    return app.exec();
}

// ---- the parent's side ---------------------------------------------------

qint64 statusField(qint64 pid, const char *field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Seconds of CPU the process has used (user and system).
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// The lock file the serial port library keeps for an open port.
QString lockFileOf(const QString &device)
{
    QString name = device;
    name.remove(0, int(std::strlen("/dev/")));
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *dir : {"/var/lock", "/run/lock", "/tmp", "/var/tmp"}) {
        const QString path = QString::fromLatin1(dir) + QStringLiteral("/LCK..") + name;
        if (QFile::exists(path))
            return path;
    }
    return {};
}

} // namespace

class TestWindowProcess : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgrammerEmulator> m_emu;
    std::unique_ptr<QProcess> m_window;

    void startWindow(const char *mode, const QString &saveTo = {}, qint64 fileSizeLimit = 0)
    {
        m_window = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(SavePath::SaveToVariable), saveTo);
        if (fileSizeLimit > 0)
            limitChildFileSize(*m_window, fileSizeLimit);
        env.insert(QStringLiteral("TARVO_COM1"), m_emu->slavePath());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_window->setProcessEnvironment(env);
        m_window->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_window->start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(WindowFlag), QString::fromLatin1(mode)});
        QVERIFY(m_window->waitForStarted(10000));
        QVERIFY2(QTest::qWaitFor([this] { return m_window->canReadLine() || m_window->state() != QProcess::Running; }, 30000),
                 "the window did not get ready");
        QCOMPARE(m_window->readLine().trimmed(), QByteArray("ready"));
    }
    qint64 pid() const { return m_window->processId(); }
    bool readFinished()
    {
        return m_emu->blocksSent() == 320 && m_emu->received().endsWith(Ctl::ENQ);
    }

private slots:
    void init()
    {
        m_emu = std::make_unique<ProgrammerEmulator>();
        QString error;
        QVERIFY2(m_emu->start(&error), qPrintable(error));
        m_emu->setSocketDevice(QLatin1String(Device));
    }
    void cleanup()
    {
        // Ended as a user would, so that the port's lock file goes too.
        if (m_window && m_window->state() != QProcess::NotRunning) {
            ::kill(pid_t(pid()), SIGTERM);
            if (!QTest::qWaitFor([this] { return m_window->state() == QProcess::NotRunning; }, 10000)) {
                m_window->kill();
                m_window->waitForFinished(5000);
            }
        }
        m_window.reset();
        m_emu.reset();
    }

    void floodDoesNotGrowTheWindow_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::newRow("idle after a detection") << QByteArray("idle");
        QTest::newRow("armed, waiting for Run") << QByteArray("armed");
    }
    // A line that keeps sending while nothing reads it: what is kept unread
    // stays bounded, nothing spins, and the next exchange is whole.
    void floodDoesNotGrowTheWindow()
    {
        QFETCH(QByteArray, mode);
        startWindow(mode.constData());
        const qint64 before = statusField(pid(), "VmRSS:");
        QVERIFY(before > 0);

        constexpr qint64 Flood = 60LL * 1024 * 1024;
        m_emu->flood(Flood);
        QVERIFY2(QTest::qWaitFor([this] { return m_emu->floodLeft() == 0; }, 120000), "the window stopped taking bytes");
        const qint64 grownKb = statusField(pid(), "VmRSS:") - before;
        qInfo("%lld MiB poured, the window grew by %lld KiB", Flood >> 20, grownKb);
        QVERIFY2(grownKb < 20 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(grownKb)));

        // Quiet line, full receive queue: the window sleeps.
        const double cpu = cpuSeconds(pid());
        QTest::qWait(1000);
        QVERIFY2(cpuSeconds(pid()) - cpu < 0.3, "the window kept working on a quiet line");

        m_emu->clearLog();
        m_window->write("read\n");
        QVERIFY2(QTest::qWaitFor([this] { return readFinished(); }, 30000), "the read after the flood did not pass");
        QCOMPARE(m_emu->commandWords().size(), 1);
    }

    // A save over a file-size limit fails with the system's text; the window
    // lives on (no SIGXFSZ) and the old file stays.
    void saveOverASizeLimitNamesTheCause()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("keep.hex"));
        QVERIFY(writeFile(file, "precious"));
        startWindow("idle", file, 4096);
        m_window->write("save\n");
        QStringList said;
        QVERIFY(QTest::qWaitFor(
            [&] {
                while (m_window->canReadLine())
                    said << QString::fromUtf8(m_window->readLine().trimmed());
                return said.contains(QLatin1String("saved")) || m_window->state() != QProcess::Running;
            },
            30000));
        QCOMPARE(said, (QStringList{"box: Do you want to overwrite?", "box: File too large", "saved"}));
        QCOMPARE(m_window->state(), QProcess::Running);
        QFile kept(file);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("precious"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.hex"});
    }

    void signalEndsARunAsTheCloseBox_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("questionOpen");
        QTest::newRow("SIGTERM") << int(SIGTERM) << false;
        QTest::newRow("SIGHUP") << int(SIGHUP) << false;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("SIGTERM, stop question open") << int(SIGTERM) << true;
    }
    void signalEndsARunAsTheCloseBox()
    {
        QFETCH(int, signal);
        QFETCH(bool, questionOpen);
        // At the line rate a read of the device takes about 20 s.
        m_emu->setPaced(true);
        startWindow("running");
        QVERIFY(QTest::qWaitFor([this] { return m_emu->blocksSent() >= 3; }, 20000));
        const QString lockFile = lockFileOf(m_emu->slavePath());
        QVERIFY2(!lockFile.isEmpty(), "no lock file for the open port");
        const qsizetype readFrameEnd = m_emu->frames().last().streamOffset + 12;
        if (questionOpen) {
            m_window->write("stop\n");
            QVERIFY(QTest::qWaitFor([this] { return m_window->canReadLine(); }, 20000));
            QCOMPARE(m_window->readLine().trimmed(), QByteArray("question"));
        }

        QCOMPARE(::kill(pid_t(pid()), signal), 0);
        QVERIFY2(EmulatorReceived::arrived([&] { return m_emu->received().mid(readFrameEnd).contains(Ctl::CAN); }),
                 "no CAN after the signal");
        QVERIFY(QTest::qWaitFor([this] { return m_window->state() == QProcess::NotRunning; }, 20000));
        QCOMPARE(m_window->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_window->exitCode(), 0);
        QVERIFY2(!QFile::exists(lockFile), qPrintable(lockFile));
        QVERIFY(m_emu->blocksSent() < 320);
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], WindowFlag) == 0)
        return runWindow(argc, argv, argv[2]);
    QCoreApplication app(argc, argv);
    TestWindowProcess test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WindowProcess.moc"
