#pragma once

#include <QObject>

class QSocketNotifier;

// The signals that ask the program to end (SIGINT from Ctrl+C, SIGTERM from
// kill or a service manager, SIGHUP from a log-out) as an event: the
// handler only writes a byte to a pipe, whose notifier wakes the event loop
// (and so any wait of the link) and emits stopRequested with the number of
// requests so far. SIGXFSZ is ignored meanwhile, so that a write over a
// file-size limit fails with its reason instead of killing the program.
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
