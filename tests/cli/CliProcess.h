#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

// tarvo-cli run as a process, as a user or a build server runs it.
class CliProcess
{
public:
    struct Result
    {
        bool finished = false;
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
        QStringList outLines() const { return lines(out); }
        QStringList errLines() const { return lines(err); }
        static QStringList lines(const QByteArray &text);
    };

    explicit CliProcess(const QStringList &arguments, const QMap<QString, QString> &environment = {});
    ~CliProcess();

    // Standard output on a terminal (a pseudo-terminal's slave) instead of a pipe.
    void setOutputTerminal(const QString &path) { m_process.setStandardOutputFile(path); }
    // A file-size limit for the process, as `ulimit -f` sets one (before start()).
    void setFileSizeLimit(qint64 bytes);
    void start();
    // Waits up to ms for the program to end; true once it has.
    bool ended(int ms) { return m_process.waitForFinished(ms) || m_process.state() == QProcess::NotRunning; }
    // Ctrl+C as a terminal sends it.
    void interrupt();
    // A signal as kill(1) sends it.
    void sendSignal(int signal);
    Result finish(int timeoutMs = 30000);

    static Result run(const QStringList &arguments, const QMap<QString, QString> &environment = {},
                      int timeoutMs = 30000);
    static Result runLimited(const QStringList &arguments, qint64 fileSizeLimit);

private:
    QProcess m_process;
    QStringList m_arguments;
};
