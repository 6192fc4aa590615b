#pragma once

#include <QString>
#include <cstdint>

// Told of each run of a device command: when Run starts it, and when it
// ends, passed or failed, with the status lines showing the outcome and the
// counters already moved. A pass is reported before the command looks for
// Exit, so an observer may leave the command from runEnded.
class RunObserver
{
public:
    virtual ~RunObserver() = default;
    virtual void runStarted(const QString &caption) = 0;
    virtual void runEnded(bool passed, uint8_t successCount, uint8_t failureCount) = 0;
};
