#pragma once

#include "RunView.h"

#include <QElapsedTimer>
#include <QString>
#include <functional>

// A view that keeps its texts as the window's labels would, at every byte,
// without painting, and notes when a run starts and ends.
class BenchView : public RunView
{
public:
    void setCommandCaption(const QString &caption, bool) override { m_caption = caption; }
    void setStatusLine(int line, const QString &text) override;
    QString statusLine(int line) const override { return m_lines[line]; }
    void setGaugeVisible(bool) override {}
    void setGaugeRange(int, int maximum) override { m_gaugeMaximum = maximum; }
    void setGaugeProgress(int progress) override { m_gauge = progress; }
    void setRunEnabled(bool enabled) override { m_runEnabled = enabled; }
    bool runEnabled() const override { return m_runEnabled; }
    void setStopButton(const QString &caption, bool) override { m_stopCaption = caption; }
    void setResetEnabled(bool) override {}
    void focusRun() override { waiting(); }
    void focusStop() override { waiting(); }
    void showCounts(uint8_t, uint8_t) override {}
    void setWindowLocked(bool) override {}
    void showBufferInfo(const QString &, const QString &) override {}
    void clearFileName() override {}
    void enableBufferCommands() override {}

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

    QString m_lines[7];
    QString m_caption;
    QString m_stopCaption;
    bool m_runEnabled = false;
    int m_gauge = 0;
    int m_gaugeMaximum = 0;
};
