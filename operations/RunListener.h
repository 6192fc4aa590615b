#pragma once

#include "CommandTexts.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

struct DeviceCommand;

// Where a command stands. Idle: nothing armed. Armed: waiting for the first
// Run. Running: an exchange is under way. Passed: the last run passed and
// the command waits for Run again. Failed and Stopped: the last run failed
// (Stopped: after the operator confirmed Stop, or the program closing) and
// the command is no longer armed.
enum class RunState { Idle, Armed, Running, Passed, Failed, Stopped };

struct RunCounts
{
    uint8_t success = 0;
    uint8_t failure = 0;
    bool operator==(const RunCounts &) const = default;
};

// One step of a run: a whole command, or one of Auto's five. It owns a
// status line (1..6); its texts say what the line shows.
struct RunStep
{
    // The command armed, and the command whose exchange the step runs (for
    // Auto's steps the erase, blank check, program, verify and lock rows).
    const DeviceCommand *command = nullptr;
    const DeviceCommand *exchange = nullptr;
    int line = 1;
    const CommandTexts *texts = nullptr;
    // The device's last address: the gauge runs 0..end.
    uint16_t end = 0;
};

struct StepEnd
{
    bool passed = false;
    // The pass text, or the failure text; a failed step also shows
    // CommandTexts::commandAbort() on the line below its own.
    QString text;
    // The address in transfer when a block exchange failed.
    std::optional<uint16_t> failingAddress;
};

struct RunEnd
{
    RunState outcome = RunState::Passed;
    // The six status lines as the run left them (empty ones included).
    std::array<QString, 6> lines;
    RunCounts counts;
};

// Told what a device command does, in order. Several listeners may follow
// one runner; each is told every event, in the order they were added. All
// events come on the one thread, from inside the runner's waits.
class RunListener
{
public:
    virtual ~RunListener() = default;

    // Asked when Run is pressed, before anything goes out: false leaves the
    // command (the listener has said why), so that no device is programmed
    // when its record could not be kept.
    virtual bool runMayStart() { return true; }

    virtual void commandArmed(const DeviceCommand &) {}
    // Run pressed and allowed: the six lines are cleared.
    virtual void runStarted(const DeviceCommand &) {}
    // The step's running text goes on its line; the gauge restarts at 0.
    virtual void stepStarted(const RunStep &) {}
    // In the current step: the byte at address has gone out or come in
    // (done counts the bytes of the step so far, total all of them). A read
    // also reports the first address of each block as it starts waiting
    // for it, with done == address.
    virtual void progress(uint16_t, int, int) {}
    // A block of Program (first..last) is about to go out: nothing of it
    // has been sent yet. false stops the run before it (the listener has
    // said why), as the operator's Stop would.
    virtual bool blockMayGo(uint16_t, uint16_t) { return true; }
    // The programmer has taken a block of Program (first..last): it asked
    // for the next one, so these bytes have reached the device.
    virtual void blockWritten(uint16_t, uint16_t) {}
    virtual void stepEnded(const RunStep &, const StepEnd &) {}
    // A passed read filled the buffer: its end and checksum texts ("1FFFH").
    virtual void bufferFilled(const QString &, const QString &) {}
    virtual void countsChanged(RunCounts) {}
    // The run passed (the command waits for Run again) or failed (the
    // command is no longer armed). Told after the counters moved and the
    // last byte (ENQ or CAN) went out.
    virtual void runEnded(const RunEnd &) {}
    // Left without a run under way (Exit, a start refused, the program
    // closing): back to Idle.
    virtual void commandLeft() {}
};
