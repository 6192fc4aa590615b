#include "CommandRunner.h"

#include "BlockTransfer.h"
#include "HexText.h"
#include "MemoryBuffer.h"
#include "ProgrammerLink.h"
#include "Prompter.h"
#include "ReadExchange.h"
#include "SelectionState.h"
#include "SingleReplyCommand.h"

#include <QCoreApplication>

namespace {
// Auto's pass text goes on the line below its last step.
constexpr int AutoPassLine = 6;
} // namespace

CommandRunner::CommandRunner(ProgrammerLink &link, MemoryBuffer &buffer, const SelectionState &selection,
                             Prompter &prompter)
    : m_link(link)
    , m_buffer(buffer)
    , m_selection(selection)
    , m_prompter(prompter)
{
}

// ---- entries -------------------------------------------------------------

void CommandRunner::arm(const DeviceCommand &command)
{
    // Shortcuts and timers can get past the locked menus: one command at a time.
    if (m_active)
        return;
    if (!m_link.HardwareFound()) {
        m_prompter.inform(CommandTexts::notConnected());
        return;
    }
    m_active = true;
    m_command = &command;
    BeforeRun(command);
    runCommand();
    m_active = false;
}

bool CommandRunner::runOnce(const DeviceCommand &command)
{
    if (m_active)
        return false;
    m_once = true;
    m_passedOnce = false;
    arm(command);
    m_once = false;
    return m_passedOnce;
}

void CommandRunner::StartRunClick()
{
    if (m_active && !running())
        RunPressed = true;
}

void CommandRunner::StopRunClick()
{
    if (!m_active)
        return;
    // Exit while the command waits for Run; Stop (with its question) while
    // anything else is under way.
    if (waitingForRun())
        m_link.requestAbort();
    else
        m_link.requestStop();
}

void CommandRunner::ResetCountClick()
{
    if (running())
        return;
    setCounts({});
}

void CommandRunner::setCounts(RunCounts counts)
{
    m_counts = counts;
    m_events.tell(&RunListener::countsChanged, m_counts);
}

// ---- framework -----------------------------------------------------------

void CommandRunner::BeforeRun(const DeviceCommand &command)
{
    clearLines();
    m_link.clearRequests();
    RunPressed = false;
    m_state = RunState::Armed;
    m_events.tell(&RunListener::commandArmed, command);
}

void CommandRunner::AfterRun()
{
    clearLines();
    m_link.clearRequests();
    RunPressed = false;
    m_state = RunState::Idle;
    m_events.tell(&RunListener::commandLeft);
}

void CommandRunner::BreakError()
{
    if (m_link.port().isOpen()) {
        m_link.port().DiscardInput();
        m_link.port().DiscardOutput();
    }
    // The run has failed already: a Stop still pending must not ask its
    // question here, where Yes would keep the CAN from going out.
    m_link.dropStopRequest();
    m_link.SendByte(Ctl::CAN);
    ++m_counts.failure;
    m_events.tell(&RunListener::countsChanged, m_counts);
    const bool stopped = leaveRequested();
    m_link.clearRequests();
    RunPressed = false;
    m_state = stopped ? RunState::Stopped : RunState::Failed;
    runEnded();
}

CommandRunner::WaitResult CommandRunner::WaitForRun()
{
    if (m_once) {
        // Nobody presses Run: what is pending (a stop) is handled first.
        QCoreApplication::processEvents();
        if (leaveRequested()) {
            AfterRun();
            return WaitResult::Left;
        }
        return runOrLeave();
    }
    if (RunPressed)
        return runOrLeave();
    for (;;) {
        // The window is closing: do not block for an event that may not come.
        if (!m_link.shuttingDown())
            m_link.waitForEvents();
        // Exit wins over Run pressed in the same batch of events.
        if (leaveRequested()) {
            AfterRun();
            return WaitResult::Left;
        }
        if (RunPressed)
            return runOrLeave();
    }
}

CommandRunner::WaitResult CommandRunner::runOrLeave()
{
    if (m_events.runMayStart())
        return WaitResult::Run;
    AfterRun();
    return WaitResult::Left;
}

void CommandRunner::StartRunning()
{
    clearLines();
    m_state = RunState::Running;
    m_events.tell(&RunListener::runStarted, *m_command);
}

CommandRunner::PassResult CommandRunner::PassRun(const RunStep &step)
{
    setLine(step.line, step.texts->pass);
    m_events.tell(&RunListener::stepEnded, step, StepEnd{true, step.texts->pass, std::nullopt});
    return passEnding();
}

CommandRunner::PassResult CommandRunner::passEnding()
{
    ++m_counts.success;
    m_events.tell(&RunListener::countsChanged, m_counts);
    m_link.SendByte(Ctl::ENQ);
    RunPressed = false;
    m_state = RunState::Passed;
    m_passedOnce = true;
    runEnded();
    if (m_once || leaveRequested()) {
        AfterRun();
        return PassResult::Left;
    }
    return PassResult::Again;
}

void CommandRunner::FailRun(const RunStep &step, const ExchangeOutcome &outcome)
{
    setLine(step.line, outcome.failureText);
    setLine(step.line + 1, CommandTexts::commandAbort());
    m_events.tell(&RunListener::stepEnded, step, StepEnd{false, outcome.failureText, outcome.failingAddress});
    BreakError();
}

void CommandRunner::runEnded()
{
    m_events.tell(&RunListener::runEnded, RunEnd{m_state, m_lines, m_counts});
}

void CommandRunner::setLine(int line, const QString &text)
{
    if (line >= 1 && line <= int(m_lines.size()))
        m_lines[std::size_t(line - 1)] = text;
}

void CommandRunner::clearLines()
{
    m_lines.fill(QString());
}

bool CommandRunner::leaveRequested() const
{
    return m_link.AbortRequested() || m_link.shuttingDown();
}

uint16_t CommandRunner::deviceEnd() const
{
    return m_selection.SelectedDevice.deviceEnd();
}

// ---- the runs ------------------------------------------------------------

RunStep CommandRunner::step(const DeviceCommand &exchange, int line, const CommandTexts &texts) const
{
    return RunStep{m_command, &exchange, line, &texts, deviceEnd()};
}

void CommandRunner::startStep(const RunStep &step)
{
    setLine(step.line, step.texts->running);
    m_events.tell(&RunListener::stepStarted, step);
}

bool CommandRunner::runStep(const RunStep &step, const QString &word)
{
    const uint16_t end = step.end;
    ExchangeOutcome outcome;
    switch (step.exchange->kind) {
    case DeviceCommand::Kind::SingleReply:
        outcome = SingleReplyCommand(m_link, m_timeouts.longMs).run(word, *step.texts);
        // The gauge jumps to the end once the reply came.
        if (outcome.passed)
            m_events.progress(end, int(end) + 1, int(end) + 1);
        break;
    case DeviceCommand::Kind::BlockTransfer:
        outcome = BlockTransfer(m_link, m_events, m_buffer, m_timeouts.replyMs)
                      .run(word, end, *step.texts, step.exchange->writesBlocks());
        break;
    case DeviceCommand::Kind::Read:
        outcome = ReadExchange(m_link, m_events, m_buffer, m_timeouts.replyMs).run(word, end);
        break;
    case DeviceCommand::Kind::Auto:
        break;
    }
    if (!outcome.passed) {
        FailRun(step, outcome);
        return false;
    }
    return true;
}

void CommandRunner::runCommand()
{
    const DeviceCommand &command = *m_command;
    const StructureDevice &device = m_selection.SelectedDevice;
    for (;;) {
        if (WaitForRun() == WaitResult::Left)
            return;
        StartRunning();
        if (command.kind != DeviceCommand::Kind::Auto) {
            const RunStep only = step(command, 1, command.texts());
            startStep(only);
            if (!runStep(only, command.word(device)))
                return;
            if (command.kind == DeviceCommand::Kind::Read) {
                const uint16_t end = deviceEnd();
                m_events.tell(&RunListener::bufferFilled, device.DeviceEnd + QLatin1Char('H'),
                              HexText::HexWordToStr4(m_buffer.checksum(end)) + QLatin1Char('H'));
                m_buffer.BufferEnd = end;
            }
            if (PassRun(only) == PassResult::Left)
                return;
            continue;
        }
        // Auto: the commands' own exchanges in turn, each on its own line;
        // the lock at the device's own level.
        using Id = DeviceCommand::Id;
        struct AutoStep
        {
            Id exchange;
            const CommandTexts &texts;
            DeviceCommand::Parameter parameter;
        };
        const DeviceCommand &erase = DeviceCommand::get(Id::Erase);
        const DeviceCommand &blank = DeviceCommand::get(Id::Blank);
        const DeviceCommand &program = DeviceCommand::get(Id::Program);
        const DeviceCommand &verify = DeviceCommand::get(Id::Verify);
        const AutoStep steps[] = {
            {Id::Erase, CommandTexts::erase(), erase.parameter},
            {Id::Blank, CommandTexts::blank(), blank.parameter},
            {Id::Program, CommandTexts::program(), program.parameter},
            {Id::Verify, CommandTexts::verify(), verify.parameter},
            {Id::Lock1, CommandTexts::autoLock(), DeviceCommand::Parameter::LockLevel},
        };
        int line = 1;
        for (const AutoStep &s : steps) {
            const DeviceCommand &exchange = DeviceCommand::get(s.exchange);
            const RunStep current = step(exchange, line, s.texts);
            startStep(current);
            if (!runStep(current, exchange.word(device, s.parameter)))
                return;
            setLine(line, s.texts.pass);
            m_events.tell(&RunListener::stepEnded, current, StepEnd{true, s.texts.pass, std::nullopt});
            ++line;
        }
        if (PassRun(step(command, AutoPassLine, command.texts())) == PassResult::Left)
            return;
    }
}
