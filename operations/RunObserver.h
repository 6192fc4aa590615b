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
    // Asked when Run is pressed, before anything goes out: false leaves the
    // command (the observer has said why), so that no device is programmed
    // when its record could not be kept.
    virtual bool runMayStart() { return true; }
    virtual void runStarted(const QString &caption) = 0;
    virtual void runEnded(bool passed, uint8_t successCount, uint8_t failureCount) = 0;
};
