#include "BenchView.h"

void BenchView::setCommandCaption(const QString &caption, bool armed)
{
    if (m_inner)
        m_inner->setCommandCaption(caption, armed);
}

void BenchView::setStatusLine(int line, const QString &text)
{
    m_lines[line] = text;
    if (m_inner)
        m_inner->setStatusLine(line, text);
    ++updates;
    if (!clock.isValid() || text.isEmpty())
        return;
    lastTextNs = clock.nsecsElapsed();
    if (firstByteNs < 0 && !progressPrefix.isEmpty() && text.startsWith(progressPrefix))
        firstByteNs = lastTextNs;
}

void BenchView::setGaugeVisible(bool visible)
{
    if (m_inner)
        m_inner->setGaugeVisible(visible);
}

void BenchView::setGaugeRange(int minimum, int maximum)
{
    if (m_inner)
        m_inner->setGaugeRange(minimum, maximum);
}

void BenchView::setGaugeProgress(int progress)
{
    if (m_inner)
        m_inner->setGaugeProgress(progress);
}

void BenchView::setRunEnabled(bool enabled)
{
    m_runEnabled = enabled;
    if (m_inner)
        m_inner->setRunEnabled(enabled);
}

void BenchView::setStopButton(const QString &caption, bool enabled)
{
    if (m_inner)
        m_inner->setStopButton(caption, enabled);
}

void BenchView::setResetEnabled(bool enabled)
{
    if (m_inner)
        m_inner->setResetEnabled(enabled);
}

void BenchView::focusRun()
{
    if (m_inner)
        m_inner->focusRun();
    waiting();
}

void BenchView::focusStop()
{
    if (m_inner)
        m_inner->focusStop();
    waiting();
}

void BenchView::focusAfterFailure()
{
    if (m_inner)
        m_inner->focusAfterFailure();
}

void BenchView::showCounts(uint8_t success, uint8_t failure)
{
    if (m_inner)
        m_inner->showCounts(success, failure);
}

void BenchView::setWindowLocked(bool locked)
{
    if (m_inner)
        m_inner->setWindowLocked(locked);
}

void BenchView::showBufferInfo(const QString &bufferEnd, const QString &bufferSum)
{
    if (m_inner)
        m_inner->showBufferInfo(bufferEnd, bufferSum);
}

void BenchView::clearFileName()
{
    if (m_inner)
        m_inner->clearFileName();
}

void BenchView::enableBufferCommands()
{
    if (m_inner)
        m_inner->enableBufferCommands();
}
