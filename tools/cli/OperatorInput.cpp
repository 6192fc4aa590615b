#include "OperatorInput.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <cerrno>
#include <termios.h>
#include <unistd.h>

OperatorInput::OperatorInput(int fd, QObject *parent)
    : QObject(parent)
    , m_fd(fd)
    , m_terminal(::isatty(fd) == 1)
{
    m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &OperatorInput::readSome);
}

bool OperatorInput::isQuit(const QByteArray &line)
{
    const QByteArray word = line.trimmed().toLower();
    return word == "q" || word == "quit" || word == "exit";
}

QList<QByteArray> OperatorInput::takeLines(QByteArray &buffer)
{
    QList<QByteArray> lines;
    qsizetype end;
    while ((end = buffer.indexOf('\n')) >= 0) {
        lines << buffer.left(end);
        buffer.remove(0, end + 1);
    }
    return lines;
}

void OperatorInput::readSome()
{
    char buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        // The end of input (or an input that cannot be read): a last line
        // without its line end still counts.
        m_notifier->setEnabled(false);
        if (!m_partial.isEmpty()) {
            m_lines.append(m_partial);
            emit lineRead(m_partial);
            m_partial.clear();
        }
        m_ended = true;
        emit endOfInput();
        return;
    }
    m_partial.append(buffer, n);
    for (const QByteArray &line : takeLines(m_partial)) {
        m_lines.append(line);
        emit lineRead(line);
    }
}

OperatorInput::Go OperatorInput::wait()
{
    QEventLoop loop;
    connect(this, &OperatorInput::lineRead, &loop, &QEventLoop::quit);
    connect(this, &OperatorInput::endOfInput, &loop, &QEventLoop::quit);
    connect(this, &OperatorInput::stopped, &loop, &QEventLoop::quit);
    while (m_lines.isEmpty() && !m_ended && !m_stopped)
        loop.exec();
    if (m_stopped)
        return Go::Stopped;
    if (m_lines.isEmpty())
        return Go::End;
    const QByteArray line = m_lines.takeFirst();
    if (isQuit(line))
        return Go::Quit;
    const QByteArray code = line.trimmed();
    if (code.isEmpty() != m_scan) {
        m_scanned = code;
        return Go::Run;
    }
    m_refused = line;
    return Go::Other;
}

void OperatorInput::discardTypedAhead()
{
    if (!m_terminal)
        return;
    // What the terminal holds, then what was read but not yet taken.
    ::tcflush(m_fd, TCIFLUSH);
    m_lines.clear();
    m_partial.clear();
}

void OperatorInput::stop()
{
    m_stopped = true;
    emit stopped();
}
