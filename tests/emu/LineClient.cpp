#include "LineClient.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

qint64 msLeft(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    return std::max<qint64>(0, duration_cast<milliseconds>(deadline - steady_clock::now()).count());
}

} // namespace

LineClient::LineClient(const QString &path)
    : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{
}

LineClient::~LineClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool LineClient::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno != EAGAIN)
                return false;
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
            continue;
        }
        done += n;
    }
    return true;
}

QByteArray LineClient::read(int count, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    QByteArray got;
    while (got.size() < count) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, int(msLeft(deadline))) <= 0 || !(p.revents & POLLIN))
            break;
        char buf[512];
        const ssize_t n = ::read(m_fd, buf, std::min<size_t>(sizeof buf, size_t(count - got.size())));
        if (n <= 0)
            break;
        got.append(buf, n);
    }
    return got;
}

bool LineClient::waitHangUp(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd p{m_fd, POLLIN, 0};
        const int r = ::poll(&p, 1, int(msLeft(deadline)));
        if (r <= 0)
            return false;
        if (p.revents & (POLLHUP | POLLERR))
            return true;
        char buf[512];
        if (::read(m_fd, buf, sizeof buf) <= 0)
            return true;
    }
}

QByteArray LineClient::frame(const char *word)
{
    const QByteArray w(word);
    int sum = 3;
    for (int i = 0; i < 8; i += 2)
        sum += w.mid(i, 2).toInt(nullptr, 16);
    return "\x18\x02" + w + "\x03" + QByteArray::number(sum & 0xFF, 16).rightJustified(2, '0').toUpper();
}

QByteArray LineClient::block(const QByteArray &data64)
{
    int sum = 0;
    for (char c : data64)
        sum += uint8_t(c);
    return data64.toHex().toUpper() + QByteArray::number(sum & 0xFF, 16).rightJustified(2, '0').toUpper();
}
