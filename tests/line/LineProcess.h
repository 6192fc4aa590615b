#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// tarvo-line run as a process, as a line's server runs it; ended (SIGTERM,
// then SIGKILL) with this object.
class LineProcess
{
public:
    ~LineProcess();

    // Starts it and waits (bounded) for its "serving" line; false when it
    // ended or stayed silent instead.
    bool start(const QStringList &arguments, QString *error);
    // http://127.0.0.1:PORT from the line printed.
    QString url() const { return m_url; }
    qint64 processId() const { return m_process.processId(); }
    // Sends SIGTERM, as a service manager stops it; whether it ended within ms.
    bool stop(int ms);
    // Runs it to its end (bounded): exit code, standard error in *err.
    static int run(const QStringList &arguments, QByteArray *err, int timeoutMs = 30000);
    static QString program();

private:
    QProcess m_process;
    QString m_url;
};
