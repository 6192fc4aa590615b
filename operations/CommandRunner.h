#pragma once

#include "CommandTexts.h"

#include <QString>
#include <cstdint>

class MemoryBuffer;
class ProgrammerLink;
class Prompter;
class RunObserver;
class RunView;
struct SelectionState;

// The device commands and the framework they run in. A menu handler arms
// its command and enters its Run routine, which waits for Run, runs the
// exchange once per Run press and returns only when the command is left
// (Exit, a failure, or the window closing). The run state is what the view
// shows: Idle (nothing armed), Armed (waiting for Run) and Running.
//
// Everything runs on the one thread: the buttons reach a waiting routine
// through the flags, handled inside the link's waits.
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

    CommandRunner(ProgrammerLink &link, RunView &view, MemoryBuffer &buffer, const SelectionState &selection,
                  Prompter &prompter);

    void setTimeouts(const Timeouts &timeouts) { m_timeouts = timeouts; }
    const Timeouts &timeouts() const { return m_timeouts; }
    // Told of every run's start and end; none by default.
    void setObserver(RunObserver *observer) { m_observer = observer; }

    // Menu handlers. A call while a command is armed or running is ignored.
    void EraseDeviceClick();
    void BlankDeviceClick();
    void ProgramDeviceClick();
    void VerifyDeviceClick();
    void Lock1Click();
    void Lock2Click();
    void Lock3Click();
    void ReadDeviceClick();
    void AutoProgramClick();

    void StartRunClick();
    void StopRunClick();
    void ResetCountClick();

    // Armed or running.
    bool active() const { return m_active; }
    bool running() const { return m_running; }

    uint8_t SuccessCount = 0;
    uint8_t FailureCount = 0;
    bool RunPressed = false;

    // The framework.
    void BeforeRun(const QString &caption);
    void AfterRun();
    void BreakError();
    WaitResult WaitForRun();
    void StartRunning(const QString &runningText);
    PassResult PassRun(const QString &passText);
    void FailRun(const QString &text);

    // The Run routines; each returns when its command is no longer armed.
    void RunErase();
    void RunBlank();
    void RunLock1();
    void RunLock2();
    void RunLock3();
    void RunProgram();
    void RunVerify();
    void RunRead();
    void RunAuto();

private:
    void chooseCommand(const CommandTexts &texts, void (CommandRunner::*routine)());
    void runSingleReply(const CommandTexts &texts, const QString &commandWord);
    void runBlockTransfer(const CommandTexts &texts, const QString &commandWord);
    // The pass ending without a pass text (Auto writes its own lines).
    PassResult passEnding();
    // The failure text on line, "Command......Abort" below it, BreakError.
    void failStep(int line, const QString &text);
    void clearStatusLines();
    void resetGauge();
    // Back to Idle: shared tail of AfterRun and BreakError.
    void disarm();
    bool leaveRequested() const;

    bool autoSingleStep(int line, const CommandTexts &texts, const QString &commandWord, bool startStep);
    bool autoBlockStep(int line, const CommandTexts &texts, const QString &commandWord);

    QString commandWord(const char *code, const QString &parameter) const;
    uint16_t deviceEnd() const;

    ProgrammerLink &m_link;
    RunView &m_view;
    MemoryBuffer &m_buffer;
    const SelectionState &m_selection;
    Prompter &m_prompter;
    Timeouts m_timeouts;
    RunObserver *m_observer = nullptr;
    QString m_caption;
    bool m_active = false;
    bool m_running = false;
};
