#pragma once

#include "RunListener.h"

class PaintThrottle;
class QLabel;
class QWidget;
class RunDisplayHost;
struct TarvoLayout;

// The window's drawing of a device command: the command caption with its
// colours, the six status lines, the gauge, the Exit/Stop caption, the
// counters and where the focus goes; which controls may be used follows the
// window's mode (idle, armed, running), set through the host. Status lines and the gauge change at
// every byte of a transfer; their painting goes through the throttle.
class WindowRunDisplay : public RunListener
{
public:
    WindowRunDisplay(QWidget &window, TarvoLayout &ui, PaintThrottle &throttle, RunDisplayHost &host);

    // Production: the focus stays on Run after each pass (--keep-run-focus).
    void setKeepRunFocus(bool keep) { m_keepRunFocus = keep; }
    bool keepRunFocus() const { return m_keepRunFocus; }

    // "Success : n" and "Failure : n".
    void showCounts(RunCounts counts);

    void commandArmed(const DeviceCommand &command) override;
    void runStarted(const DeviceCommand &command) override;
    void stepStarted(const RunStep &step) override;
    void progress(uint16_t address, int done, int total) override;
    void stepEnded(const RunStep &step, const StepEnd &end) override;
    void bufferFilled(const QString &bufferEnd, const QString &bufferSum) override;
    void countsChanged(RunCounts counts) override;
    void runEnded(const RunEnd &end) override;
    void commandLeft() override;

private:
    void focus(QWidget *widget);
    // armed: yellow background and blue text; otherwise the normal colours.
    void setCaption(const QString &caption, bool armed);
    void setLine(int line, const QString &text);
    void clearLines();
    void setGauge(int progress);
    void restartGauge(int maximum);
    // Back to no command: shared by a failure and leaving.
    void disarm();

    QWidget &m_window;
    TarvoLayout &m_ui;
    PaintThrottle &m_throttle;
    RunDisplayHost &m_host;
    RunStep m_current;
    QString m_prefix;
    bool m_read = false;
    bool m_keepRunFocus = false;
};
