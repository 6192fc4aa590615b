#include "CliProcess.h"

#include <csignal>
#include <sys/resource.h>

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
}

void CliProcess::start()
{
    m_process.start();
    m_process.waitForStarted(10000);
}

void CliProcess::setFileSizeLimit(qint64 bytes)
{
    m_process.setChildProcessModifier([bytes] {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = rlim_t(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
}

void CliProcess::interrupt()
{
    sendSignal(SIGINT);
}

void CliProcess::sendSignal(int signal)
{
    ::kill(pid_t(m_process.processId()), signal);
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
    r.out = m_process.readAllStandardOutput();
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
