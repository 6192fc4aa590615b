#pragma once

#include "RunListener.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

struct SelectionState;

// Draws the runner's events as the window does, into plain fields: the
// current state of every control and the history of the status lines, and
// lets a test act at chosen moments.
class RecordingView : public RunListener
{
public:

    void commandArmed(const DeviceCommand &command) override;
    void runStarted(const DeviceCommand &command) override;
    void stepStarted(const RunStep &step) override;
    void progress(uint16_t address, int done, int total) override;
    void stepEnded(const RunStep &step, const StepEnd &end) override;
    void bufferFilled(const QString &end, const QString &sum) override;
    void countsChanged(RunCounts counts) override;
    void runEnded(const RunEnd &end) override;
    void commandLeft() override;

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
    // Whether a device is chosen, for the commands a passed read enables.
    const SelectionState *selection = nullptr;
    // Every event, by name, in order.
    QStringList events;
    QList<StepEnd> stepEnds;
    QList<RunEnd> runEnds;
    QList<QPair<int, int>> blocksWritten;

    void blockWritten(uint16_t first, uint16_t last) override;

private:
    void setLine(int line, const QString &text);
    void clearLines();
    void disarm();
    void waiting();

    QString m_prefix;
    int m_line = 1;
    bool m_read = false;
};
