#include "PtyPair.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    // Close-on-exec: a program the test starts must not hold the line's far end.
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
    // Raw mode at once: the port restores the old settings on close, and an
    // echoing slave would send our own bytes back.
    m_slaveKeep = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slaveKeep >= 0) {
        termios t;
        ::tcgetattr(m_slaveKeep, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(m_slaveKeep, TCSANOW, &t);
    }
}

PtyPair::~PtyPair()
{
    hangUp();
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
}

void PtyPair::setWindowSize(int columns, int rows)
{
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    if (m_master >= 0)
        ::ioctl(m_master, TIOCSWINSZ, &size);
}

bool PtyPair::isExclusive() const
{
    int exclusive = 0;
    return m_slaveKeep >= 0 && ::ioctl(m_slaveKeep, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

void PtyPair::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
}

QByteArray PtyPair::read(int count, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (m_master >= 0 && out.size() < count) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0)
            break;
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0)
            break;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, size_t(qMin<qsizetype>(sizeof buf, count - out.size())));
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

QByteArray PtyPair::drain(int timeoutMs)
{
    return read(1 << 20, timeoutMs);
}

void PtyPair::hangUp()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    // Our own slave handle would keep the line up.
    if (m_slaveKeep >= 0) {
        ::close(m_slaveKeep);
        m_slaveKeep = -1;
    }
}
