#include "StopSignal.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int EndSignals[] = {SIGINT, SIGTERM, SIGHUP};

int g_pipe[2] = {-1, -1};
struct sigaction g_old[std::size(EndSignals)];
struct sigaction g_oldFileSize;

extern "C" void onStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Nothing else is safe in a signal handler; a full pipe already wakes the loop.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

StopSignal::StopSignal(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Restarted system calls: a signal must not make a port read fail.
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(EndSignals); ++i)
        ::sigaction(EndSignals[i], &action, &g_old[i]);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, &g_oldFileSize);
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignal::drain);
}

StopSignal::~StopSignal()
{
    if (!m_notifier)
        return;
    for (size_t i = 0; i < std::size(EndSignals); ++i)
        ::sigaction(EndSignals[i], &g_old[i], nullptr);
    ::sigaction(SIGXFSZ, &g_oldFileSize, nullptr);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void StopSignal::drain()
{
    char bytes[64];
    ssize_t n = 0;
    int received = 0;
    while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
        received += int(n);
    for (int i = 0; i < received; ++i)
        emit stopRequested(++m_count);
}
