#include "CliRunView.h"

#include "CliOutput.h"
#include "CommandTexts.h"
#include "HexText.h"

#include <QStringBuilder>

namespace {
// Block size of program, verify and read.
constexpr int BlockBytes = 64;
} // namespace

void CliRunView::commandArmed(const DeviceCommand &)
{
    forgetPrinted();
}

void CliRunView::runStarted(const DeviceCommand &)
{
    forgetPrinted();
    m_moving.clear();
    m_movingKind = Moving::No;
}

void CliRunView::stepStarted(const RunStep &step)
{
    m_prefix = step.texts->progressPrefix;
    setGauge(0);
    m_maximum = step.end;
    move(step.texts->running, Moving::Running);
}

void CliRunView::progress(uint16_t address, int done, int)
{
    if (!m_prefix.isEmpty())
        move(m_prefix % HexText::HexWordToStr4(address), Moving::Address);
    // done == address: a read waiting for the first byte of a block.
    if (done == 0 || done == int(address))
        return;
    setGauge(done - 1);
    // The last byte of a block ends the block. Single-reply commands only
    // jump to the end.
    if (m_movingKind == Moving::Address && done % BlockBytes == 0)
        m_output.blockDone(m_moving, done, m_maximum + 1);
}

void CliRunView::stepEnded(const RunStep &step, const StepEnd &end)
{
    print(step.line, end.text);
    if (!end.passed)
        print(step.line + 1, CommandTexts::commandAbort());
}

void CliRunView::commandLeft()
{
    forgetPrinted();
}

void CliRunView::print(int line, const QString &text)
{
    if (line < 1 || line > Lines)
        return;
    QString &printed = m_printed[size_t(line - 1)];
    if (text == printed)
        return;
    printed = text;
    m_output.status(line, text);
}

void CliRunView::move(const QString &text, Moving kind)
{
    // A new step is drawn at once; addresses only as often as the bar redraws.
    const bool newStep = kind != m_movingKind || kind == Moving::Running;
    m_moving = text;
    m_movingKind = kind;
    m_output.moving(text, m_progress, 0, m_maximum, newStep);
}

void CliRunView::setGauge(int progress)
{
    m_progress = progress;
    if (!m_moving.isEmpty())
        m_output.moving(m_moving, m_progress, 0, m_maximum, false);
}
