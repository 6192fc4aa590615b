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
    // Standard input from a file (a terminal) instead of a pipe; before start().
    void setInputFile(const QString &path);
    // Standard input closed, as `<&-` in a shell does; before start().
    void closeInputAtStart();
    // A file-size limit for the process, as `ulimit -f` sets one (before start()).
    void setFileSizeLimit(qint64 bytes);
    // At most `most` tasks (processes and threads) for the program and all
    // it starts, in a PID namespace of its own, so that a run that starts
    // itself over and over is stopped by the cap, and ending it ends them
    // all (before start()). False where the cap cannot be set (it needs a
    // writable pids cgroup).
    bool capProcesses(int most);
    void setWorkingDirectory(const QString &path) { m_process.setWorkingDirectory(path); }
    void start();
    qint64 processId() const { return m_process.processId(); }
    // Waits up to ms for the program to end; true once it has.
    bool ended(int ms) { return m_process.waitForFinished(ms) || m_process.state() == QProcess::NotRunning; }
    // Standard input: lines for --repeat, and its end.
    void write(const QByteArray &input);
    void closeInput();
    // Waits until standard output holds text (kept for finish()).
    bool waitForOutput(const QByteArray &text, int timeoutMs = 30000);
    // Ctrl+C as a terminal sends it.
    void interrupt();
    // A signal as kill(1) sends it.
    void sendSignal(int signal);
    Result finish(int timeoutMs = 30000);

    static Result run(const QStringList &arguments, const QMap<QString, QString> &environment = {},
                      int timeoutMs = 30000);
    // Runs with input on standard input, which then ends.
    static Result runWithInput(const QStringList &arguments, const QByteArray &input, int timeoutMs = 30000);
    static Result runLimited(const QStringList &arguments, qint64 fileSizeLimit);

private:
    QProcess m_process;
    QStringList m_arguments;
    QByteArray m_out;
    QString m_cgroup;
};
