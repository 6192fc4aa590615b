#pragma once

#include "RunView.h"

#include <QElapsedTimer>
#include <QString>
#include <functional>

// A view that keeps its texts as the window's labels would, at every byte,
// and notes when a run starts and ends. With an inner view (the main
// window) every call is passed on to it as well.
class BenchView : public RunView
{
public:
    explicit BenchView(RunView *inner = nullptr) : m_inner(inner) {}

    void setCommandCaption(const QString &caption, bool armed) override;
    void setStatusLine(int line, const QString &text) override;
    QString statusLine(int line) const override { return m_lines[line]; }
    void setGaugeVisible(bool visible) override;
    void setGaugeRange(int minimum, int maximum) override;
    void setGaugeProgress(int progress) override;
    void setRunEnabled(bool enabled) override;
    bool runEnabled() const override { return m_runEnabled; }
    void setStopButton(const QString &caption, bool enabled) override;
    void setResetEnabled(bool enabled) override;
    void focusRun() override;
    void focusStop() override;
    void focusAfterFailure() override;
    void showCounts(uint8_t success, uint8_t failure) override;
    void setWindowLocked(bool locked) override;
    void showBufferInfo(const QString &bufferEnd, const QString &bufferSum) override;
    void clearFileName() override;
    void enableBufferCommands() override;

    // Called when a command waits for Run.
    std::function<void()> onWaiting;
    // Nanoseconds on `clock` when the first progress text appeared (the
    // first data byte) and when the last text before the wait was set.
    qint64 firstByteNs = -1;
    qint64 lastTextNs = -1;
    QString progressPrefix;
    QElapsedTimer clock;
    int updates = 0;

private:
    void waiting()
    {
        if (onWaiting)
            onWaiting();
    }

    RunView *m_inner;
    QString m_lines[7];
    bool m_runEnabled = false;
};
