#pragma once

#include "RunListener.h"

#include <QElapsedTimer>
#include <QString>
#include <functional>

// Draws a run as the window's labels would keep it, a text at every byte,
// and notes when a run starts and ends.
class BenchView : public RunListener
{
public:
    void commandArmed(const DeviceCommand &command) override;
    void runStarted(const DeviceCommand &command) override;
    void stepStarted(const RunStep &step) override;
    void progress(uint16_t address, int done, int total) override;
    void stepEnded(const RunStep &step, const StepEnd &end) override;
    void runEnded(const RunEnd &end) override;
    void commandLeft() override;

    QString statusLine(int line) const { return m_lines[line]; }

    // Called when a command waits for Run.
    std::function<void()> onWaiting;
    // Nanoseconds on `clock` when the first progress text appeared (the
    // first data byte) and when the last text before the wait was set.
    qint64 firstByteNs = -1;
    qint64 lastTextNs = -1;
    QElapsedTimer clock;
    int updates = 0;

private:
    void setLine(int line, const QString &text);
    void clearLines();
    void waiting()
    {
        if (onWaiting)
            onWaiting();
    }

    QString m_lines[7];
    QString m_prefix;
    int m_line = 1;
};
