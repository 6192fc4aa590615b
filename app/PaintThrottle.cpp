#include "PaintThrottle.h"

#include <QWidget>

PaintThrottle::PaintThrottle(QObject *parent)
    : QObject(parent)
{
    m_frame.setSingleShot(true);
    m_frame.setInterval(FrameMs);
    connect(&m_frame, &QTimer::timeout, this, &PaintThrottle::endFrame);
}

void PaintThrottle::aboutToChange(QWidget *w)
{
    if (!m_frame.isActive()) {
        m_frame.start();
        return;
    }
    if (w->updatesEnabled()) {
        w->setUpdatesEnabled(false);
        m_held.append(w);
    }
}

void PaintThrottle::flush()
{
    const QList<QPointer<QWidget>> held = std::exchange(m_held, {});
    for (const QPointer<QWidget> &w : held) {
        if (!w)
            continue;
        w->setUpdatesEnabled(true);
        // Now, not at the next update request: by then the next change may
        // have held the widget again, and a steady stream would never show.
        if (w->isVisible())
            w->repaint();
    }
}

bool PaintThrottle::holding(const QWidget *w) const
{
    for (const QPointer<QWidget> &h : m_held) {
        if (h == w)
            return true;
    }
    return false;
}

void PaintThrottle::endFrame()
{
    if (m_held.isEmpty())
        return;
    flush();
    // That repaint counts as the first of the next frame.
    m_frame.start();
}
