#include "RecordingView.h"

#include "DeviceCommand.h"
#include "HexText.h"
#include "SelectionState.h"

void RecordingView::commandArmed(const DeviceCommand &command)
{
    events << QStringLiteral("armed");
    m_read = command.kind == DeviceCommand::Kind::Read;
    clearLines();
    gaugeVisible = false;
    runIsEnabled = true;
    stopCaption = QStringLiteral("Exit");
    stopEnabled = true;
    caption = command.texts().caption;
    captionArmed = true;
    windowLocked = true;
    focus = QStringLiteral("Run");
    waiting();
}

void RecordingView::runStarted(const DeviceCommand &)
{
    events << QStringLiteral("run");
    clearLines();
    resetEnabled = false;
    runIsEnabled = false;
    stopCaption = QStringLiteral("Stop");
    stopEnabled = true;
    gaugeVisible = true;
}

void RecordingView::stepStarted(const RunStep &step)
{
    events << QStringLiteral("step %1").arg(step.line);
    m_prefix = step.texts->progressPrefix;
    m_line = step.line;
    gaugeProgress = 0;
    gaugeMinimum = 0;
    gaugeMaximum = step.end;
    setLine(step.line, step.texts->running);
}

void RecordingView::progress(uint16_t address, int done, int)
{
    if (!m_prefix.isEmpty())
        setLine(m_line, m_prefix + HexText::HexWordToStr4(address));
    if (done > 0)
        gaugeProgress = done - 1;
}

void RecordingView::blockWritten(uint16_t first, uint16_t last)
{
    blocksWritten.append({first, last});
}

void RecordingView::stepEnded(const RunStep &step, const StepEnd &end)
{
    events << QStringLiteral("end %1 %2").arg(step.line).arg(end.passed ? "pass" : "fail");
    stepEnds << end;
    setLine(step.line, end.text);
    if (!end.passed)
        setLine(step.line + 1, QStringLiteral("Command......Abort"));
}

void RecordingView::bufferFilled(const QString &end, const QString &sum)
{
    bufferEnd = end;
    bufferSum = sum;
    ++fileNameCleared;
}

void RecordingView::countsChanged(RunCounts counts)
{
    successText = QStringLiteral("Success : ") + QString::number(counts.success);
    failureText = QStringLiteral("Failure : ") + QString::number(counts.failure);
}

void RecordingView::runEnded(const RunEnd &end)
{
    events << QStringLiteral("ended");
    runEnds << end;
    if (end.outcome == RunState::Passed) {
        resetEnabled = true;
        runIsEnabled = true;
        stopCaption = QStringLiteral("Exit");
        stopEnabled = true;
        focus = QStringLiteral("Stop");
        waiting();
        if (m_read && selection && selection->DeviceSelected)
            ++bufferCommandsEnabled;
        return;
    }
    caption = QStringLiteral("No Command Select?");
    captionArmed = false;
    disarm();
    focus = QStringLiteral("AfterFailure");
}

void RecordingView::commandLeft()
{
    events << QStringLiteral("left");
    caption = QStringLiteral("No Command Select?");
    captionArmed = false;
    clearLines();
    disarm();
}

void RecordingView::setLine(int line, const QString &text)
{
    Q_ASSERT(line >= 1 && line <= 6);
    lines[line] = text;
    lineHistory.append({line, text});
    if (onStatusLine)
        onStatusLine(line, text);
}

void RecordingView::clearLines()
{
    for (int line = 1; line <= 6; ++line)
        setLine(line, QString());
}

void RecordingView::disarm()
{
    gaugeVisible = false;
    runIsEnabled = false;
    stopCaption = QStringLiteral("Exit");
    stopEnabled = false;
    windowLocked = false;
    resetEnabled = true;
}

void RecordingView::waiting()
{
    if (onWaiting)
        onWaiting();
}

QStringList RecordingView::history(int line) const
{
    QStringList out;
    for (const auto &entry : lineHistory)
        if (entry.first == line)
            out << entry.second;
    return out;
}
