#include "BenchView.h"

#include "CommandTexts.h"
#include "HexText.h"

#include <QStringBuilder>

void BenchView::commandArmed(const DeviceCommand &)
{
    clearLines();
    waiting();
}

void BenchView::runStarted(const DeviceCommand &)
{
    clearLines();
}

void BenchView::stepStarted(const RunStep &step)
{
    m_prefix = step.texts->progressPrefix;
    m_line = step.line;
    setLine(step.line, step.texts->running);
}

void BenchView::progress(uint16_t address, int, int)
{
    if (m_prefix.isEmpty())
        return;
    setLine(m_line, m_prefix % HexText::HexWordToStr4(address));
    if (firstByteNs < 0 && clock.isValid())
        firstByteNs = lastTextNs;
}

void BenchView::stepEnded(const RunStep &step, const StepEnd &end)
{
    setLine(step.line, end.text);
    if (!end.passed)
        setLine(step.line + 1, CommandTexts::commandAbort());
}

void BenchView::runEnded(const RunEnd &end)
{
    if (end.outcome == RunState::Passed)
        waiting();
}

void BenchView::commandLeft()
{
    clearLines();
}

void BenchView::setLine(int line, const QString &text)
{
    if (line < 1 || line > 6)
        return;
    m_lines[line] = text;
    ++updates;
    if (clock.isValid() && !text.isEmpty())
        lastTextNs = clock.nsecsElapsed();
}

void BenchView::clearLines()
{
    for (int line = 1; line <= 6; ++line)
        setLine(line, QString());
}
