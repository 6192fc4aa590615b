#include "AnnouncePacer.h"

AnnouncePacer::AnnouncePacer(std::function<void()> send, QObject *parent)
    : QObject(parent)
    , m_send(std::move(send))
{
    m_interval.setSingleShot(true);
    m_interval.setInterval(IntervalMs);
    connect(&m_interval, &QTimer::timeout, this, &AnnouncePacer::intervalEnded);
}

void AnnouncePacer::changed()
{
    if (m_interval.isActive()) {
        m_pending = true;
        return;
    }
    m_send();
    m_interval.start();
}

void AnnouncePacer::flush()
{
    if (!m_pending)
        return;
    m_pending = false;
    m_send();
}

void AnnouncePacer::intervalEnded()
{
    if (!m_pending)
        return;
    flush();
    m_interval.start();
}
