#include "ProcessLiveness.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

bool ProcessLiveness::isAlive(qint64 pid)
{
#ifdef Q_OS_UNIX
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
#else
    return pid > 0;
#endif
}
