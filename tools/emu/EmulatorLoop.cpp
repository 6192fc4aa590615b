#include "EmulatorLoop.h"

#include "ProgrammerEmulator.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr qint64 ByteNs = ProgrammerEmulator::ByteTimeNs;
constexpr int ChunkMax = 4096;

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

bool makeRaw(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

} // namespace

EmulatorLoop::EmulatorLoop() = default;

EmulatorLoop::~EmulatorLoop()
{
    stop();
}

qint64 EmulatorLoop::nowNs() const
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() - m_origin;
}

bool EmulatorLoop::openPty(QString *error)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        *error = systemError("pseudo-terminal set-up");
        ::close(master);
        return false;
    }
    // Holding the slave open keeps the master from reporting a hang-up (and
    // poll() from spinning) whenever the program closes its port; raw mode
    // at once, because a new slave echoes and works by lines.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0 || !makeRaw(slave)) {
        *error = systemError("pseudo-terminal slave");
        if (slave >= 0)
            ::close(slave);
        ::close(master);
        return false;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    m_line = master;
    m_slave = slave;
    std::lock_guard lock(mutex);
    slavePath = QString::fromLocal8Bit(name);
    return true;
}

bool EmulatorLoop::openDevice(QString *error)
{
    const QByteArray path = devicePath.toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = systemError(path.constData());
        return false;
    }
    if (!makeRaw(fd)) {
        *error = systemError(path.constData());
        ::close(fd);
        return false;
    }
    m_line = fd;
    std::lock_guard lock(mutex);
    slavePath = devicePath;
    return true;
}

bool EmulatorLoop::start(QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    {
        std::lock_guard lock(mutex);
        if (running)
            return true;
    }
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = systemError("pipe");
        return false;
    }
    const bool opened = devicePath.isEmpty() ? openPty(error) : openDevice(error);
    if (!opened) {
        ::close(m_wake[0]);
        ::close(m_wake[1]);
        m_wake[0] = m_wake[1] = -1;
        return false;
    }
    m_origin = 0;
    m_origin = nowNs();
    m_rx.clear();
    m_tx.clear();
    m_rxLineFree = m_txLineFree = m_txHold = 0;
    m_txBlocked = false;
    {
        std::lock_guard lock(mutex);
        running = true;
        hungUp = false;
        m_stopRequested = false;
        m_hangUpRequested = false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

void EmulatorLoop::wake()
{
    const char c = 1;
    [[maybe_unused]] ssize_t r = ::write(m_wake[1], &c, 1);
}

void EmulatorLoop::stop()
{
    {
        std::lock_guard lock(mutex);
        if (!running)
            return;
        m_stopRequested = true;
    }
    wake();
    m_thread.join();
    if (m_line >= 0)
        closeLine();
    ::close(m_wake[0]);
    ::close(m_wake[1]);
    m_wake[0] = m_wake[1] = -1;
    std::lock_guard lock(mutex);
    running = false;
    changed.notify_all();
}

void EmulatorLoop::hangUp()
{
    std::unique_lock lock(mutex);
    if (!running || hungUp)
        return;
    m_hangUpRequested = true;
    wake();
    changed.wait(lock, [this] { return hungUp || !running; });
}

void EmulatorLoop::flood(qint64 bytes)
{
    {
        std::lock_guard lock(mutex);
        floodLeft += bytes;
    }
    wake();
}

void EmulatorLoop::closeLine()
{
    if (m_line >= 0)
        ::close(m_line);
    if (m_slave >= 0)
        ::close(m_slave);
    m_line = m_slave = -1;
    m_tx.clear();
    m_rx.clear();
    std::lock_guard lock(mutex);
    hungUp = true;
    changed.notify_all();
}

void EmulatorLoop::takeDueInput(qint64 now)
{
    if (m_rx.empty() || m_rx.front().readyNs > now)
        return;
    std::vector<EmulatorProtocol::Output> out;
    std::lock_guard lock(mutex);
    while (!m_rx.empty() && m_rx.front().readyNs <= now) {
        const RxByte rx = m_rx.front();
        m_rx.pop_front();
        out.clear();
        protocol.feed(rx.byte, rx.readyNs, out);
        for (const auto &o : out)
            m_tx.push_back({o.kind, o.byte, now + qint64(o.delayMs) * 1000000});
    }
    changed.notify_all();
}

qint64 EmulatorLoop::nextTxTime() const
{
    if (m_tx.empty())
        return -1;
    qint64 t = std::max(m_tx.front().notBeforeNs, m_txHold);
    // A paced byte is handed over when its last bit would have arrived.
    if (paced && m_tx.front().kind == EmulatorProtocol::Output::Kind::Byte)
        t = std::max(t, m_txLineFree) + ByteNs;
    return t;
}

bool EmulatorLoop::writeDue(qint64 now)
{
    using Kind = EmulatorProtocol::Output::Kind;
    m_txBlocked = false;
    while (!m_tx.empty()) {
        const qint64 due = nextTxTime();
        if (due > now)
            return true;
        if (m_tx.front().kind == Kind::HangUp || m_line < 0) {
            closeLine();
            return true;
        }
        std::unique_lock lock(mutex);
        if (protocol.muted()) {
            m_tx.pop_front();
            continue;
        }
        // One write() for every byte that is due, short of the next
        // byte-count fault; paced lines go byte by byte.
        qint64 limit = paced ? 1 : ChunkMax;
        const qint64 beforeFault = protocol.sendableBeforeFault();
        if (beforeFault >= 0)
            limit = std::clamp<qint64>(beforeFault, 1, limit);
        char chunk[ChunkMax];
        int n = 0;
        while (n < limit && n < int(m_tx.size()) && m_tx[n].kind == Kind::Byte
               && std::max(m_tx[n].notBeforeNs, m_txHold) <= now) {
            chunk[n] = char(m_tx[n].byte);
            ++n;
        }
        const ssize_t written = ::write(m_line, chunk, size_t(n));
        if (written < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                m_txBlocked = errno == EAGAIN;
                return !m_txBlocked;
            }
            lock.unlock();
            closeLine();
            return true;
        }
        EmulatorProtocol::SentEffect effect;
        for (ssize_t i = 0; i < written; ++i) {
            m_tx.pop_front();
            effect = protocol.noteSent(uint8_t(chunk[i]));
        }
        if (paced)
            m_txLineFree = due;
        changed.notify_all();
        lock.unlock();
        if (effect.kind == EmulatorProtocol::SentEffect::Kind::HangUp) {
            closeLine();
            return true;
        }
        if (effect.kind == EmulatorProtocol::SentEffect::Kind::Stall)
            m_txHold = now + qint64(effect.delayMs) * 1000000;
    }
    return writeFlood();
}

// Filler after the replies, as fast as the line takes it; unpaced and
// unlogged, so that a flood of any size costs the emulator nothing.
bool EmulatorLoop::writeFlood()
{
    static const QByteArray filler(64 * 1024, 'U');
    for (;;) {
        qint64 left = 0;
        {
            std::lock_guard lock(mutex);
            left = floodLeft;
        }
        if (left <= 0 || m_line < 0)
            return true;
        const ssize_t written = ::write(m_line, filler.constData(), size_t(std::min<qint64>(left, filler.size())));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            m_txBlocked = errno == EAGAIN;
            if (!m_txBlocked)
                closeLine();
            return !m_txBlocked;
        }
        std::lock_guard lock(mutex);
        floodLeft -= written;
        changed.notify_all();
    }
}

void EmulatorLoop::readLine(qint64 now)
{
    char buf[ChunkMax];
    const ssize_t n = ::read(m_line, buf, sizeof buf);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        closeLine();
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        qint64 ready = now;
        if (paced) {
            ready = std::max(now, m_rxLineFree) + ByteNs;
            m_rxLineFree = ready;
        }
        m_rx.push_back({uint8_t(buf[i]), ready});
    }
}

void EmulatorLoop::run()
{
    for (;;) {
        qint64 now = nowNs();
        takeDueInput(now);
        const bool canWrite = writeDue(now);
        {
            std::lock_guard lock(mutex);
            if (m_stopRequested)
                return;
        }

        qint64 deadline = -1;
        if (!m_rx.empty())
            deadline = m_rx.front().readyNs;
        const qint64 tx = nextTxTime();
        if (canWrite && tx >= 0 && (deadline < 0 || tx < deadline))
            deadline = tx;

        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {m_line, short(POLLIN | (canWrite ? 0 : POLLOUT)), 0}};
        const nfds_t count = m_line >= 0 ? 2 : 1;
        timespec wait{};
        timespec *timeout = nullptr;
        if (deadline >= 0) {
            const qint64 left = std::max<qint64>(0, deadline - nowNs());
            wait.tv_sec = time_t(left / 1000000000);
            wait.tv_nsec = long(left % 1000000000);
            timeout = &wait;
        }
        if (ppoll(fds, count, timeout, nullptr) < 0 && errno != EINTR) {
            closeLine(); // leaves nobody waiting in hangUp() for a dead loop
            return;
        }
        now = nowNs();

        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(m_wake[0], drain, sizeof drain) > 0) {
            }
            bool hangUpNow = false;
            {
                std::lock_guard lock(mutex);
                if (m_stopRequested)
                    return;
                hangUpNow = m_hangUpRequested;
                m_hangUpRequested = false;
            }
            if (hangUpNow) {
                if (m_line >= 0) {
                    closeLine();
                } else {
                    std::lock_guard lock(mutex);
                    changed.notify_all();
                }
            }
        }
        if (count == 2 && m_line >= 0) {
            if (fds[1].revents & POLLIN)
                readLine(now);
            else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))
                closeLine(); // the device went away; do not spin on it
        }
    }
}
