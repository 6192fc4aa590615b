#include "CliProcess.h"
#include "TestFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <unistd.h>

CliProcess::CliProcess(const QStringList &arguments, const QMap<QString, QString> &environment)
    : m_arguments(arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // A TARVO_COMn of the machine must not leak into a test.
    for (int n = 1; n <= 4; ++n)
        env.remove(QStringLiteral("TARVO_COM%1").arg(n));
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        env.insert(it.key(), it.value());
    m_process.setProcessEnvironment(env);
    m_process.setProgram(QStringLiteral(TARVO_CLI_PATH));
    m_process.setArguments(m_arguments);
}

CliProcess::~CliProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // The namespace's processes die with its first one; the group can go
    // once they have.
    for (int i = 0; i < 50 && !m_cgroup.isEmpty() && !QDir().rmdir(m_cgroup); ++i)
        QThread::msleep(100);
}

bool CliProcess::capProcesses(int most)
{
    static int count = 0;
    const QString group = QStringLiteral("/sys/fs/cgroup/pids/tarvo-test-%1-%2").arg(::getpid()).arg(++count);
    if (!QDir().mkdir(group))
        return false;
    m_cgroup = group;
    QFile max(group + QLatin1String("/pids.max"));
    if (!max.open(QIODevice::WriteOnly) || max.write(QByteArray::number(most)) < 0)
        return false;
    max.close();
    // The shell moves itself into the group, then becomes the namespace's
    // keeper: killed, it takes every process inside with it.
    m_process.setArguments(QStringList{QStringLiteral("-c"),
                                       QStringLiteral("echo 0 > \"$1/cgroup.procs\" && shift && "
                                                      "exec unshare --fork --pid --kill-child \"$@\""),
                                       QStringLiteral("sh"), group, m_process.program()}
                           + m_arguments);
    m_process.setProgram(QStringLiteral("sh"));
    return true;
}

void CliProcess::start()
{
    m_process.start();
    m_process.waitForStarted(10000);
}

void CliProcess::setFileSizeLimit(qint64 bytes)
{
    limitChildFileSize(m_process, bytes);
}

void CliProcess::interrupt()
{
    sendSignal(SIGINT);
}

void CliProcess::sendSignal(int signal)
{
    ::kill(pid_t(m_process.processId()), signal);
}

void CliProcess::setInputFile(const QString &path)
{
    m_process.setStandardInputFile(path);
}

void CliProcess::closeInputAtStart()
{
    m_process.setChildProcessModifier([] { ::close(STDIN_FILENO); });
}

void CliProcess::write(const QByteArray &input)
{
    m_process.write(input);
    m_process.waitForBytesWritten(5000);
}

void CliProcess::closeInput()
{
    m_process.closeWriteChannel();
}

bool CliProcess::waitForOutput(const QByteArray &text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_out.contains(text)) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        m_out += m_process.readAllStandardOutput();
    }
    return true;
}

CliProcess::Result CliProcess::finish(int timeoutMs)
{
    Result r;
    r.finished = m_process.waitForFinished(timeoutMs);
    if (!r.finished) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    r.exitCode = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    r.out = m_out + m_process.readAllStandardOutput();
    r.err = m_process.readAllStandardError();
    return r;
}

CliProcess::Result CliProcess::run(const QStringList &arguments, const QMap<QString, QString> &environment,
                                   int timeoutMs)
{
    CliProcess p(arguments, environment);
    p.start();
    return p.finish(timeoutMs);
}

CliProcess::Result CliProcess::runWithInput(const QStringList &arguments, const QByteArray &input, int timeoutMs)
{
    CliProcess p(arguments);
    p.start();
    p.write(input);
    p.closeInput();
    return p.finish(timeoutMs);
}

CliProcess::Result CliProcess::runLimited(const QStringList &arguments, qint64 fileSizeLimit)
{
    CliProcess p(arguments);
    p.setFileSizeLimit(fileSizeLimit);
    p.start();
    return p.finish();
}

QStringList CliProcess::Result::lines(const QByteArray &text)
{
    QStringList out = QString::fromLocal8Bit(text).split(QLatin1Char('\n'));
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}
