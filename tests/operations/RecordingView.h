#pragma once

#include "RunView.h"

#include <QList>
#include <QPair>
#include <QString>
#include <functional>

// A RunView that keeps the current state of every control it drives and the
// history of the status lines, and lets a test act at chosen moments.
class RecordingView : public RunView
{
public:
    void setCommandCaption(const QString &caption, bool armed) override;
    void setStatusLine(int line, const QString &text) override;
    QString statusLine(int line) const override { return lines[line]; }
    void setGaugeVisible(bool visible) override { gaugeVisible = visible; }
    void setGaugeRange(int minimum, int maximum) override;
    void setGaugeProgress(int progress) override { gaugeProgress = progress; }
    void setRunEnabled(bool enabled) override { runIsEnabled = enabled; }
    bool runEnabled() const override { return runIsEnabled; }
    void setStopButton(const QString &caption, bool enabled) override;
    void setResetEnabled(bool enabled) override { resetEnabled = enabled; }
    void focusRun() override;
    void focusStop() override;
    void focusAfterFailure() override { focus = QStringLiteral("AfterFailure"); }
    void showCounts(uint8_t success, uint8_t failure) override;
    void setWindowLocked(bool locked) override { windowLocked = locked; }
    void showBufferInfo(const QString &bufferEnd, const QString &bufferSum) override;
    void clearFileName() override { ++fileNameCleared; }
    void enableBufferCommands() override { ++bufferCommandsEnabled; }

    // The six lines, 1-based (index 0 unused).
    QStringList currentLines() const { return lines.mid(1); }
    // Every text set on a line, in order.
    QStringList history(int line) const;

    // Called when a command waits for Run: armed afresh, or after a pass.
    std::function<void()> onWaiting;
    // Called after every status line change.
    std::function<void(int line, const QString &text)> onStatusLine;

    QStringList lines = QStringList(7, QString());
    QList<QPair<int, QString>> lineHistory;
    QString caption;
    bool captionArmed = false;
    bool gaugeVisible = false;
    int gaugeMinimum = 0;
    int gaugeMaximum = 0;
    int gaugeProgress = 0;
    bool runIsEnabled = false;
    QString stopCaption;
    bool stopEnabled = false;
    bool resetEnabled = true;
    QString focus;
    QString successText = QStringLiteral("Success : 0");
    QString failureText = QStringLiteral("Failure : 0");
    bool windowLocked = false;
    QString bufferEnd;
    QString bufferSum;
    int fileNameCleared = 0;
    int bufferCommandsEnabled = 0;
};
