#pragma once

#include "CommandRunner.h"
#include "DeviceCommand.h"
#include "MemoryBuffer.h"
#include "ProgrammerEmulator.h"
#include "ProgrammerLink.h"
#include "RecordingView.h"
#include "ScriptedPrompter.h"
#include "SelectionState.h"

#include <QObject>
#include <functional>

// A command runner wired to a real link on the emulator's pseudo-terminal,
// with a recording view and scripted message boxes. The operator's clicks
// come from the event loop, so they are handled inside the program's waits.
class RunnerHarness
{
public:
    explicit RunnerHarness(const QString &deviceName = QStringLiteral("AT89C2051"));
    ~RunnerHarness();

    // The emulator runs and the port is open on it.
    bool ready() const { return m_ready; }
    void selectDevice(const QString &deviceName);
    uint8_t typeCode() const;
    uint16_t deviceEnd() const { return selection.SelectedDevice.deviceEnd(); }

    // Each time the command waits for Run, the operator presses Run until
    // `runs` runs were started, then Exit.
    void pressRun(int runs);
    // Called each time the command waits for Run, before the press.
    std::function<void()> atWait;
    // Acts once, inside the program's waits, as soon as the condition holds.
    void when(std::function<bool()> condition, std::function<void()> action);

    // Waits until the last byte a finished command sends (ENQ after a pass,
    // CAN after a failure) has reached the emulator.
    bool settle();
    // What the program sent after frame `index` (its checksum included) up
    // to the next frame, or to the end; settles first.
    QByteArray sentAfterFrame(int index);
    // The buffer image 0..end, as the emulator's flash is compared with it.
    QByteArray bufferImage(uint16_t end) const;

    ProgrammerEmulator emu;
    ScriptedPrompter prompter;
    ProgrammerLink link{prompter};
    MemoryBuffer buffer;
    SelectionState selection;
    RecordingView view;
    CommandRunner runner{link, buffer, selection, prompter};
    // Arms a command of the Device menu.
    void arm(DeviceCommand::Id id) { runner.arm(DeviceCommand::get(id)); }

private:
    QObject m_context;
    bool m_ready = false;
    int m_runsLeft = 0;
};
