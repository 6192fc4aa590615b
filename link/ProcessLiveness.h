#pragma once

#include <QtGlobal>

// Whether a process named by a lock file or a reservation still runs: it
// does when a signal could be sent to it, or when one is refused (EPERM: it
// runs under another user).
class ProcessLiveness
{
public:
    static bool isAlive(qint64 pid);
};
