#pragma once

#include "DeviceRecord.h"
#include "RunListener.h"

#include <QElapsedTimer>
#include <functional>

class BenchSession;
class MemoryBuffer;
struct SelectionState;

// Builds the record of a device from the runs of its commands: the time
// the first run started, the captions, the status texts each run ended
// with (as the runner reports them), whether all passed, the counters after the last, and the SHA-256
// of the device range of the buffer. What only the owner knows (port,
// firmware date, file, the checksum shown) comes from describe.
//
// Per run (the window): every run is one record, handed to onRecord.
// Per device (tarvo-cli): begin() before the device's commands, finish()
// after them.
class RunRecorder : public RunListener
{
public:
    RunRecorder(const MemoryBuffer &buffer, const SelectionState &selection);

    std::function<void(DeviceRecord &record)> describe;
    // Set for one record per run.
    std::function<void(const DeviceRecord &record)> onRecord;
    // Asked before each run; unset means every run may start.
    std::function<bool()> mayStart;

    void begin();
    // Adds a status text of something that is not a device command run.
    void addOutcome(const QString &text, bool passed);
    DeviceRecord finish();
    // The record of something done outside the runner (a fuse write): one
    // command, its status text, the counters as they stand.
    DeviceRecord single(const QString &command, const QString &text, bool passed);

    bool runMayStart() override { return !mayStart || mayStart(); }
    void runStarted(const DeviceCommand &command) override;
    void runEnded(const RunEnd &end) override;
    // The runner's counters are one byte each (as the window shows them);
    // the records count on from them without wrapping.
    void countsChanged(RunCounts counts) override;

    // SHA-256, lower-case hex, of the buffer's bytes 0..last.
    static QString imageHash(const MemoryBuffer &buffer, uint16_t last);
    // What the bench's session says of the record: port, programmer,
    // device, file and checksum.
    static void describeBench(const BenchSession &session, DeviceRecord &record);

private:
    const MemoryBuffer &m_buffer;
    const SelectionState &m_selection;
    DeviceRecord m_record;
    QElapsedTimer m_timer;
    bool m_started = false;
    RunCounts m_lastCounts;
    int m_success = 0;
    int m_failure = 0;
};
