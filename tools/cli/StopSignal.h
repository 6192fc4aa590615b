#pragma once

#include <QObject>

class QSocketNotifier;

// Ctrl+C (SIGINT) and SIGTERM as an event: the handler only writes a byte
// to a pipe, whose notifier wakes the event loop (and so any wait of the
// link) and emits stopRequested with the number of requests so far.
// One instance at a time.
class StopSignal : public QObject
{
    Q_OBJECT
public:
    explicit StopSignal(QObject *parent = nullptr);
    ~StopSignal() override;

    bool installed() const { return m_notifier != nullptr; }
    int count() const { return m_count; }

signals:
    void stopRequested(int count);

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
    int m_count = 0;
};
