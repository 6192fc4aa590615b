#pragma once

#include "DeviceCommand.h"
#include "ExchangeOutcome.h"
#include "RunEvents.h"
#include "RunListener.h"

#include <QString>
#include <array>
#include <cstdint>

class MemoryBuffer;
class ProgrammerLink;
class Prompter;
struct SelectionState;

// The device commands and the framework they run in. arm() arms a command
// and waits for Run; each Run press runs its exchange once; it returns only
// when the command is left (Exit, a failure, or the program closing).
// runOnce() is the same for a caller with no operator: one run, then Exit
// after a pass. What happens is told to the listeners (RunListener); the
// runner keeps its own state and never asks anyone what is shown.
//
// Everything runs on the one thread: Run and Stop reach a waiting command
// through the link's requests, handled inside the link's waits.
class CommandRunner
{
public:
    struct Timeouts
    {
        // Each reply of the block exchanges and the read.
        int replyMs = 1500;
        // The single reply of erase, blank check and lock.
        int longMs = 15000;
    };
    enum class WaitResult { Run, Left };
    enum class PassResult { Again, Left };

    CommandRunner(ProgrammerLink &link, MemoryBuffer &buffer, const SelectionState &selection, Prompter &prompter);

    void setTimeouts(const Timeouts &timeouts) { m_timeouts = timeouts; }
    const Timeouts &timeouts() const { return m_timeouts; }

    void addListener(RunListener *listener) { m_events.add(listener); }
    void removeListener(RunListener *listener) { m_events.remove(listener); }

    // Arms the command and runs it for each Run until it is left. A call
    // while a command is armed or running is ignored.
    void arm(const DeviceCommand &command);
    // One run without an operator: true when it passed. The command is left
    // after it either way.
    bool runOnce(const DeviceCommand &command);

    void StartRunClick();
    // Exit while the command waits for Run, Stop while it runs.
    void StopRunClick();
    void ResetCountClick();

    RunState state() const { return m_state; }
    // Armed or running.
    bool active() const { return m_active; }
    bool running() const { return m_state == RunState::Running; }
    bool waitingForRun() const { return m_state == RunState::Armed || m_state == RunState::Passed; }
    RunCounts counts() const { return m_counts; }
    // Counts carried over (a restored session, a test): told as a change.
    void setCounts(RunCounts counts);
    // The six status lines of the command as they stand.
    const std::array<QString, 6> &lines() const { return m_lines; }

    bool RunPressed = false;

private:
    // The framework.
    void BeforeRun(const DeviceCommand &command);
    void AfterRun();
    void BreakError();
    WaitResult WaitForRun();
    // Run pressed: a listener may still keep the run from starting.
    WaitResult runOrLeave();
    void StartRunning();
    PassResult PassRun(const RunStep &step);
    void FailRun(const RunStep &step, const ExchangeOutcome &outcome);
    PassResult passEnding();
    void runEnded();

    void runCommand();
    bool runStep(const RunStep &step, const QString &word);
    RunStep step(const DeviceCommand &command, int line, const CommandTexts &texts) const;
    // A step's running text on its line, the gauge back at 0.
    void startStep(const RunStep &step);
    void setLine(int line, const QString &text);
    void clearLines();
    bool leaveRequested() const;
    uint16_t deviceEnd() const;

    ProgrammerLink &m_link;
    MemoryBuffer &m_buffer;
    const SelectionState &m_selection;
    Prompter &m_prompter;
    Timeouts m_timeouts;
    RunEvents m_events;
    const DeviceCommand *m_command = nullptr;
    RunState m_state = RunState::Idle;
    RunCounts m_counts;
    std::array<QString, 6> m_lines;
    bool m_active = false;
    // runOnce: Run pressed by the runner itself once, Exit after a pass.
    bool m_once = false;
    bool m_passedOnce = false;
};
