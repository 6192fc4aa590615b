#include "CommandRunner.h"

#include "BlockTransfer.h"
#include "HexText.h"
#include "MemoryBuffer.h"
#include "ProgrammerLink.h"
#include "Prompter.h"
#include "ReadExchange.h"
#include "RunObserver.h"
#include "RunView.h"
#include "SelectionState.h"
#include "SingleReplyCommand.h"

namespace {
constexpr int StatusLines = 6;
const QString ExitCaption = QStringLiteral("Exit");
const QString StopCaption = QStringLiteral("Stop");
} // namespace

CommandRunner::CommandRunner(ProgrammerLink &link, RunView &view, MemoryBuffer &buffer,
                             const SelectionState &selection, Prompter &prompter)
    : m_link(link)
    , m_view(view)
    , m_buffer(buffer)
    , m_selection(selection)
    , m_prompter(prompter)
{
}

// ---- menu handlers -------------------------------------------------------

void CommandRunner::EraseDeviceClick() { chooseCommand(CommandTexts::erase(), &CommandRunner::RunErase); }
void CommandRunner::BlankDeviceClick() { chooseCommand(CommandTexts::blank(), &CommandRunner::RunBlank); }
void CommandRunner::ProgramDeviceClick() { chooseCommand(CommandTexts::program(), &CommandRunner::RunProgram); }
void CommandRunner::VerifyDeviceClick() { chooseCommand(CommandTexts::verify(), &CommandRunner::RunVerify); }
void CommandRunner::Lock1Click() { chooseCommand(CommandTexts::lock1(), &CommandRunner::RunLock1); }
void CommandRunner::Lock2Click() { chooseCommand(CommandTexts::lock2(), &CommandRunner::RunLock2); }
void CommandRunner::Lock3Click() { chooseCommand(CommandTexts::lock3(), &CommandRunner::RunLock3); }
void CommandRunner::ReadDeviceClick() { chooseCommand(CommandTexts::read(), &CommandRunner::RunRead); }
void CommandRunner::AutoProgramClick() { chooseCommand(CommandTexts::autoProgram(), &CommandRunner::RunAuto); }

void CommandRunner::chooseCommand(const CommandTexts &texts, void (CommandRunner::*routine)())
{
    // Shortcuts and timers can get past the locked menus: one command at a time.
    if (m_active)
        return;
    if (!m_link.HardwareFound) {
        m_prompter.inform(CommandTexts::notConnected());
        return;
    }
    m_active = true;
    m_caption = texts.caption;
    BeforeRun(texts.caption);
    (this->*routine)();
    m_active = false;
}

void CommandRunner::StartRunClick()
{
    if (m_active && !m_running)
        RunPressed = true;
}

void CommandRunner::StopRunClick()
{
    if (!m_active)
        return;
    if (m_view.runEnabled())
        m_link.AbortRequested = true;
    else
        m_link.StopRequested = true;
}

void CommandRunner::ResetCountClick()
{
    if (m_running)
        return;
    SuccessCount = 0;
    FailureCount = 0;
    m_view.showCounts(SuccessCount, FailureCount);
}

// ---- framework -----------------------------------------------------------

void CommandRunner::BeforeRun(const QString &caption)
{
    clearStatusLines();
    m_view.setGaugeVisible(false);
    m_link.StopRequested = false;
    m_link.AbortRequested = false;
    RunPressed = false;
    m_view.setRunEnabled(true);
    m_view.setStopButton(ExitCaption, true);
    m_view.setCommandCaption(caption, true);
    m_view.setWindowLocked(true);
    m_view.focusRun();
}

void CommandRunner::AfterRun()
{
    m_view.setCommandCaption(CommandTexts::noCommand(), false);
    clearStatusLines();
    disarm();
}

void CommandRunner::BreakError()
{
    if (m_link.port().isOpen()) {
        m_link.port().DiscardInput();
        m_link.port().DiscardOutput();
    }
    // The run has failed already: a Stop still pending must not ask its
    // question here, where Yes would keep the CAN from going out.
    m_link.StopRequested = false;
    m_link.SendByte(Ctl::CAN);
    ++FailureCount;
    m_view.showCounts(SuccessCount, FailureCount);
    m_view.setCommandCaption(CommandTexts::noCommand(), false);
    disarm();
    if (m_observer)
        m_observer->runEnded(false, SuccessCount, FailureCount);
    m_view.focusAfterFailure();
}

void CommandRunner::disarm()
{
    m_view.setGaugeVisible(false);
    m_link.StopRequested = false;
    m_link.AbortRequested = false;
    RunPressed = false;
    m_running = false;
    m_view.setRunEnabled(false);
    m_view.setStopButton(ExitCaption, false);
    m_view.setWindowLocked(false);
    m_view.setResetEnabled(true);
}

CommandRunner::WaitResult CommandRunner::WaitForRun()
{
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
    if (!m_observer || m_observer->runMayStart())
        return WaitResult::Run;
    AfterRun();
    return WaitResult::Left;
}

void CommandRunner::StartRunning(const QString &runningText)
{
    clearStatusLines();
    m_view.setResetEnabled(false);
    m_view.setRunEnabled(false);
    m_view.setStopButton(StopCaption, true);
    m_view.setGaugeVisible(true);
    resetGauge();
    m_view.setStatusLine(1, runningText);
    m_running = true;
    if (m_observer)
        m_observer->runStarted(m_caption);
}

CommandRunner::PassResult CommandRunner::PassRun(const QString &passText)
{
    m_view.setStatusLine(1, passText);
    return passEnding();
}

CommandRunner::PassResult CommandRunner::passEnding()
{
    ++SuccessCount;
    m_view.showCounts(SuccessCount, FailureCount);
    m_link.SendByte(Ctl::ENQ);
    RunPressed = false;
    m_running = false;
    m_view.setResetEnabled(true);
    m_view.setRunEnabled(true);
    m_view.setStopButton(ExitCaption, true);
    m_view.focusStop();
    if (m_observer)
        m_observer->runEnded(true, SuccessCount, FailureCount);
    if (leaveRequested()) {
        AfterRun();
        return PassResult::Left;
    }
    return PassResult::Again;
}

void CommandRunner::FailRun(const QString &text)
{
    failStep(1, text);
}

void CommandRunner::failStep(int line, const QString &text)
{
    m_view.setStatusLine(line, text);
    m_view.setStatusLine(line + 1, CommandTexts::commandAbort());
    BreakError();
}

void CommandRunner::clearStatusLines()
{
    for (int line = 1; line <= StatusLines; ++line)
        m_view.setStatusLine(line, QString());
}

void CommandRunner::resetGauge()
{
    m_view.setGaugeProgress(0);
    m_view.setGaugeRange(0, deviceEnd());
}

bool CommandRunner::leaveRequested() const
{
    return m_link.AbortRequested || m_link.shuttingDown();
}

QString CommandRunner::commandWord(const char *code, const QString &parameter) const
{
    return QLatin1String(code) + parameter + m_selection.SelectedDevice.TypeCode;
}

uint16_t CommandRunner::deviceEnd() const
{
    return m_selection.SelectedDevice.deviceEnd();
}

// ---- Run routines --------------------------------------------------------

void CommandRunner::RunErase() { runSingleReply(CommandTexts::erase(), commandWord("05", QStringLiteral("0000"))); }

void CommandRunner::RunBlank()
{
    runSingleReply(CommandTexts::blank(), commandWord("0A", m_selection.SelectedDevice.DeviceEnd));
}

void CommandRunner::RunLock1() { runSingleReply(CommandTexts::lock1(), commandWord("03", QStringLiteral("0001"))); }
void CommandRunner::RunLock2() { runSingleReply(CommandTexts::lock2(), commandWord("03", QStringLiteral("0002"))); }
void CommandRunner::RunLock3() { runSingleReply(CommandTexts::lock3(), commandWord("03", QStringLiteral("0003"))); }

void CommandRunner::RunProgram()
{
    runBlockTransfer(CommandTexts::program(), commandWord("01", QStringLiteral("0000")));
}

void CommandRunner::RunVerify()
{
    runBlockTransfer(CommandTexts::verify(), commandWord("0C", QStringLiteral("0000")));
}

void CommandRunner::runSingleReply(const CommandTexts &texts, const QString &word)
{
    for (;;) {
        if (WaitForRun() == WaitResult::Left)
            return;
        StartRunning(texts.running);
        const ExchangeOutcome outcome = SingleReplyCommand(m_link, m_timeouts.longMs).run(word, texts);
        if (!outcome.passed) {
            FailRun(outcome.failureText);
            return;
        }
        m_view.setGaugeProgress(deviceEnd());
        if (PassRun(texts.pass) == PassResult::Left)
            return;
    }
}

void CommandRunner::runBlockTransfer(const CommandTexts &texts, const QString &word)
{
    for (;;) {
        if (WaitForRun() == WaitResult::Left)
            return;
        StartRunning(texts.running);
        const ExchangeOutcome outcome =
            BlockTransfer(m_link, m_view, m_buffer, m_timeouts.replyMs).run(word, deviceEnd(), texts, 1);
        if (!outcome.passed) {
            FailRun(outcome.failureText);
            return;
        }
        if (PassRun(texts.pass) == PassResult::Left)
            return;
    }
}

void CommandRunner::RunRead()
{
    const CommandTexts &texts = CommandTexts::read();
    const QString word = commandWord("06", QStringLiteral("0000"));
    for (;;) {
        if (WaitForRun() == WaitResult::Left)
            return;
        StartRunning(texts.running);
        const ExchangeOutcome outcome = ReadExchange(m_link, m_view, m_buffer, m_timeouts.replyMs).run(word, deviceEnd());
        if (!outcome.passed) {
            FailRun(outcome.failureText);
            return;
        }
        const uint16_t end = deviceEnd();
        m_view.showBufferInfo(m_selection.SelectedDevice.DeviceEnd + QLatin1Char('H'),
                              HexText::HexWordToStr4(m_buffer.checksum(end)) + QLatin1Char('H'));
        m_buffer.BufferEnd = end;
        m_view.clearFileName();
        const PassResult result = PassRun(texts.pass);
        if (m_selection.DeviceSelected)
            m_view.enableBufferCommands();
        if (result == PassResult::Left)
            return;
    }
}

void CommandRunner::RunAuto()
{
    const StructureDevice &device = m_selection.SelectedDevice;
    for (;;) {
        if (WaitForRun() == WaitResult::Left)
            return;
        StartRunning(CommandTexts::erase().running);
        if (!autoSingleStep(1, CommandTexts::erase(), commandWord("05", QStringLiteral("0000")), false))
            return;
        if (!autoSingleStep(2, CommandTexts::blank(), commandWord("0A", device.DeviceEnd), true))
            return;
        if (!autoBlockStep(3, CommandTexts::program(), commandWord("01", QStringLiteral("0000"))))
            return;
        if (!autoBlockStep(4, CommandTexts::verify(), commandWord("0C", QStringLiteral("0000"))))
            return;
        if (!autoSingleStep(5, CommandTexts::autoLock(), commandWord("03", device.LockLevel), true))
            return;
        m_view.setStatusLine(6, CommandTexts::autoProgram().pass);
        // Line 1 keeps the erase step's pass text.
        if (passEnding() == PassResult::Left)
            return;
    }
}

bool CommandRunner::autoSingleStep(int line, const CommandTexts &texts, const QString &word, bool startStep)
{
    if (startStep) {
        resetGauge();
        m_view.setStatusLine(line, texts.running);
    }
    const ExchangeOutcome outcome = SingleReplyCommand(m_link, m_timeouts.longMs).run(word, texts);
    if (!outcome.passed) {
        failStep(line, outcome.failureText);
        return false;
    }
    m_view.setGaugeProgress(deviceEnd());
    m_view.setStatusLine(line, texts.pass);
    return true;
}

bool CommandRunner::autoBlockStep(int line, const CommandTexts &texts, const QString &word)
{
    resetGauge();
    m_view.setStatusLine(line, texts.running);
    const ExchangeOutcome outcome =
        BlockTransfer(m_link, m_view, m_buffer, m_timeouts.replyMs).run(word, deviceEnd(), texts, line);
    if (!outcome.passed) {
        failStep(line, outcome.failureText);
        return false;
    }
    m_view.setStatusLine(line, texts.pass);
    return true;
}
