#include "LineProcess.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

LineProcess::~LineProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

QString LineProcess::program()
{
    return QStringLiteral(TARVO_LINE);
}

bool LineProcess::start(const QStringList &arguments, QString *error)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program(), arguments);
    QByteArray out;
    const QDeadlineTimer deadline(20000);
    const QRegularExpression serving(QStringLiteral("at http://([^ /]+)/"));
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(100);
        out += m_process.readAllStandardOutput();
        const QRegularExpressionMatch match = serving.match(QString::fromUtf8(out));
        if (match.hasMatch()) {
            QString host = match.captured(1);
            // Listening on every address: ask on this machine's own.
            host.replace(QLatin1String("0.0.0.0:"), QLatin1String("127.0.0.1:"));
            host.replace(QLatin1String("[::]:"), QLatin1String("[::1]:"));
            m_url = QStringLiteral("http://") + host;
            return true;
        }
    }
    *error = QStringLiteral("tarvo-line did not start serving: %1").arg(QString::fromUtf8(out));
    return false;
}

bool LineProcess::stop(int ms)
{
    m_process.terminate();
    return m_process.waitForFinished(ms);
}

int LineProcess::run(const QStringList &arguments, QByteArray *err, int timeoutMs)
{
    QProcess process;
    process.start(program(), arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
