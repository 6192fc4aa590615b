#include "CliRunView.h"

#include "CliOutput.h"
#include "CommandTexts.h"
#include "HexText.h"

namespace {

// Block size of program, verify and read.
constexpr int BlockBytes = 64;

const CommandTexts *const AllTexts[] = {
    &CommandTexts::erase(), &CommandTexts::blank(),   &CommandTexts::lock1(),  &CommandTexts::lock2(),
    &CommandTexts::lock3(), &CommandTexts::program(), &CommandTexts::verify(), &CommandTexts::read(),
    &CommandTexts::autoLock(),
};

bool isAddress(QStringView digits)
{
    if (digits.size() != 4)
        return false;
    for (QChar c : digits)
        if (!HexText::HEX(char(c.unicode())))
            return false;
    return true;
}

} // namespace

CliRunView::Moving CliRunView::movingKind(const QString &text)
{
    for (const CommandTexts *t : AllTexts) {
        if (text == t->running)
            return Moving::Running;
        if (!t->progressPrefix.isEmpty() && text.startsWith(t->progressPrefix)
            && isAddress(QStringView(text).mid(t->progressPrefix.size())))
            return Moving::Address;
    }
    return Moving::No;
}

void CliRunView::setCommandCaption(const QString &, bool) {}

void CliRunView::setStatusLine(int line, const QString &text)
{
    if (!validLine(line))
        return;
    const size_t i = size_t(line - 1);
    m_lines[i] = text;
    if (text.isEmpty()) {
        m_printed[i].clear();
        return;
    }
    const Moving kind = movingKind(text);
    if (kind != Moving::No) {
        // A new step is drawn at once; addresses only as often as the bar redraws.
        const bool newStep = kind != m_movingKind || kind == Moving::Running;
        m_moving = text;
        m_movingKind = kind;
        m_output.moving(text, m_progress, m_minimum, m_maximum, newStep);
        return;
    }
    if (text == m_printed[i])
        return;
    m_printed[i] = text;
    m_output.status(line, text);
}

QString CliRunView::statusLine(int line) const
{
    return validLine(line) ? m_lines[size_t(line - 1)] : QString();
}

void CliRunView::setGaugeVisible(bool) {}

void CliRunView::setGaugeRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

void CliRunView::setGaugeProgress(int progress)
{
    m_progress = progress;
    if (m_moving.isEmpty())
        return;
    m_output.moving(m_moving, m_progress, m_minimum, m_maximum, false);
    // A transfer moves the gauge to each address: the last one of a block
    // ends the block. Single-reply commands only jump to the end.
    const int done = progress - m_minimum + 1;
    if (m_movingKind == Moving::Address && done > 0 && done % BlockBytes == 0)
        m_output.blockDone(m_moving, done, m_maximum - m_minimum + 1);
}

void CliRunView::setRunEnabled(bool enabled)
{
    m_runEnabled = enabled;
    // Run comes back on after a run that passed (the run disabled it).
    if (enabled && m_running) {
        m_running = false;
        if (onPassed)
            onPassed();
    }
}

void CliRunView::setStopButton(const QString &caption, bool)
{
    // The button reads "Stop" exactly while a run is under way.
    m_running = caption == QLatin1String("Stop");
    if (m_running) {
        m_moving.clear();
        m_movingKind = Moving::No;
    }
}
