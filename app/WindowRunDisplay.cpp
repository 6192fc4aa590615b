#include "WindowRunDisplay.h"

#include "CommandTexts.h"
#include "DeviceCommand.h"
#include "HexText.h"
#include "KeyRepeatGuard.h"
#include "PaintThrottle.h"
#include "PercentGauge.h"
#include "RunDisplayHost.h"
#include "SpokenLabel.h"
#include "TarvoLayout.h"

#include <QLabel>
#include <QPushButton>
#include <QStringBuilder>

namespace {
const QString ExitCaption = QStringLiteral("Exit");
const QString StopCaption = QStringLiteral("Stop");
} // namespace

WindowRunDisplay::WindowRunDisplay(QWidget &window, TarvoLayout &ui, PaintThrottle &throttle, RunDisplayHost &host)
    : m_window(window)
    , m_ui(ui)
    , m_throttle(throttle)
    , m_host(host)
{
}

void WindowRunDisplay::showCounts(RunCounts counts)
{
    m_ui.PassCount->setText(QStringLiteral("Success : ") + QString::number(counts.success));
    m_ui.FailCount->setText(QStringLiteral("Failure : ") + QString::number(counts.failure));
    m_host.countsShown(counts);
}

// ---- events --------------------------------------------------------------

void WindowRunDisplay::commandArmed(const DeviceCommand &command)
{
    m_read = command.kind == DeviceCommand::Kind::Read;
    clearLines();
    m_ui.PercentRun->setVisible(false);
    m_ui.StopRun->setText(ExitCaption);
    setCaption(command.texts().caption, true);
    m_host.setMode(WindowModes::Mode::Armed);
    focus(m_ui.StartRun);
}

void WindowRunDisplay::runStarted(const DeviceCommand &)
{
    clearLines();
    m_ui.StopRun->setText(StopCaption);
    m_host.setMode(WindowModes::Mode::Running);
    m_ui.PercentRun->setVisible(true);
}

void WindowRunDisplay::stepStarted(const RunStep &step)
{
    m_current = step;
    m_prefix = step.texts->progressPrefix;
    restartGauge(step.end);
    setLine(step.line, step.texts->running);
}

void WindowRunDisplay::progress(uint16_t address, int done, int)
{
    if (!m_prefix.isEmpty())
        setLine(m_current.line, m_prefix % HexText::HexWordToStr4(address));
    // done == address: a read waiting for the first byte of a block.
    if (done > 0)
        setGauge(done - 1);
}

void WindowRunDisplay::stepEnded(const RunStep &step, const StepEnd &end)
{
    setLine(step.line, end.text);
    if (!end.passed)
        setLine(step.line + 1, CommandTexts::commandAbort());
}

void WindowRunDisplay::bufferFilled(const QString &bufferEnd, const QString &bufferSum)
{
    m_host.showReadBuffer(bufferEnd, bufferSum);
}

void WindowRunDisplay::countsChanged(RunCounts counts)
{
    showCounts(counts);
}

void WindowRunDisplay::runEnded(const RunEnd &end)
{
    if (end.outcome == RunState::Passed) {
        m_ui.StopRun->setText(ExitCaption);
        m_host.setMode(WindowModes::Mode::Armed);
        focus(m_keepRunFocus && m_ui.StartRun->isEnabled() ? m_ui.StartRun : m_ui.StopRun);
        if (m_read && m_host.deviceSelected())
            m_host.enableBufferCommands();
        return;
    }
    setCaption(CommandTexts::noCommand(), false);
    disarm();
    // Run and Exit are disabled once a run has failed; the command must be
    // chosen again from the Device menu. Connect checks the programmer that
    // most failures concern, and Enter from a foot switch there does no harm
    // (on Reset it would clear the counters).
    focus(m_ui.CheckTarvo);
}

void WindowRunDisplay::commandLeft()
{
    setCaption(CommandTexts::noCommand(), false);
    clearLines();
    disarm();
}

// ---- drawing -------------------------------------------------------------

void WindowRunDisplay::focus(QWidget *widget)
{
    widget->setFocus();
    KeyRepeatGuard::focusMoved();
}

void WindowRunDisplay::disarm()
{
    m_ui.PercentRun->setVisible(false);
    m_ui.StopRun->setText(ExitCaption);
    m_host.setMode(WindowModes::Mode::Idle);
}

void WindowRunDisplay::setCaption(const QString &caption, bool armed)
{
    QLabel *label = m_ui.DisplayCommand;
    label->setText(caption);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, armed ? QColor(255, 255, 0) : m_window.palette().color(QPalette::Button));
    pal.setColor(QPalette::WindowText, armed ? QColor(0, 0, 255) : QColor(0, 0, 0));
    label->setPalette(pal);
}

void WindowRunDisplay::setLine(int line, const QString &text)
{
    if (line < 1 || line > int(m_ui.DisplayRun.size()))
        return;
    QLabel *label = m_ui.DisplayRun[size_t(line - 1)];
    if (label->text() == text)
        return;
    m_throttle.aboutToChange(label);
    label->setText(text);
    SpokenLabel::textChanged(label);
}

void WindowRunDisplay::clearLines()
{
    for (int line = 1; line <= int(m_ui.DisplayRun.size()); ++line)
        setLine(line, QString());
}

void WindowRunDisplay::setGauge(int progress)
{
    PercentGauge *gauge = m_ui.PercentRun;
    if (gauge->progress() == progress)
        return;
    m_throttle.aboutToChange(gauge);
    gauge->setProgress(progress);
}

void WindowRunDisplay::restartGauge(int maximum)
{
    setGauge(0);
    PercentGauge *gauge = m_ui.PercentRun;
    if (gauge->minimum() == 0 && gauge->maximum() == maximum)
        return;
    m_throttle.aboutToChange(gauge);
    gauge->setGaugeRange(0, maximum);
}
