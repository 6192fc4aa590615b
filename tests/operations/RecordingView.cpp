#include "RecordingView.h"

void RecordingView::setCommandCaption(const QString &text, bool armed)
{
    caption = text;
    captionArmed = armed;
}

void RecordingView::setStatusLine(int line, const QString &text)
{
    Q_ASSERT(line >= 1 && line <= 6);
    lines[line] = text;
    lineHistory.append({line, text});
    if (onStatusLine)
        onStatusLine(line, text);
}

void RecordingView::setGaugeRange(int minimum, int maximum)
{
    gaugeMinimum = minimum;
    gaugeMaximum = maximum;
}

void RecordingView::setStopButton(const QString &text, bool enabled)
{
    stopCaption = text;
    stopEnabled = enabled;
}

void RecordingView::focusRun()
{
    focus = QStringLiteral("Run");
    if (onWaiting)
        onWaiting();
}

void RecordingView::focusStop()
{
    focus = QStringLiteral("Stop");
    if (onWaiting)
        onWaiting();
}

void RecordingView::showCounts(uint8_t success, uint8_t failure)
{
    successText = QStringLiteral("Success : ") + QString::number(success);
    failureText = QStringLiteral("Failure : ") + QString::number(failure);
}

void RecordingView::showBufferInfo(const QString &end, const QString &sum)
{
    bufferEnd = end;
    bufferSum = sum;
}

QStringList RecordingView::history(int line) const
{
    QStringList out;
    for (const auto &entry : lineHistory)
        if (entry.first == line)
            out << entry.second;
    return out;
}
