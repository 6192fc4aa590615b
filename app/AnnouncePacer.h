#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Tells assistive technology about a display that may change at every byte
// of a transfer, at most once per interval: a change while the display is
// quiet goes out at once, further changes within the interval go out as one
// at its end. So a screen reader is not flooded (a 4 KB read changed a
// status line four thousand times) and the last change is always told.
class AnnouncePacer : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalMs = 100;

    // send: tells the current state (sets an accessible name or value).
    AnnouncePacer(std::function<void()> send, QObject *parent);

    void changed();
    // A change held back goes out now.
    void flush();
    bool holding() const { return m_pending; }

private:
    void intervalEnded();

    std::function<void()> m_send;
    QTimer m_interval;
    bool m_pending = false;
};
