#pragma once

#include <QString>
#include <cstdint>

// What a device command drives on the window: the command caption, six
// status lines, the gauge, the Run/Exit/Reset buttons, the counters and the
// locking of the rest of the window. The main window implements it; tests
// record it.
class RunView
{
public:
    virtual ~RunView() = default;

    // armed: yellow background and blue text; otherwise the normal colours.
    virtual void setCommandCaption(const QString &caption, bool armed) = 0;
    // line 1..6
    virtual void setStatusLine(int line, const QString &text) = 0;
    virtual QString statusLine(int line) const = 0;

    virtual void setGaugeVisible(bool visible) = 0;
    virtual void setGaugeRange(int minimum, int maximum) = 0;
    virtual void setGaugeProgress(int progress) = 0;

    virtual void setRunEnabled(bool enabled) = 0;
    virtual bool runEnabled() const = 0;
    virtual void setStopButton(const QString &caption, bool enabled) = 0;
    virtual void setResetEnabled(bool enabled) = 0;
    virtual void focusRun() = 0;
    virtual void focusStop() = 0;
    // A run has failed and the command is no longer armed: the focus goes
    // where the operator goes next.
    virtual void focusAfterFailure() = 0;

    // "Success : n" and "Failure : n".
    virtual void showCounts(uint8_t success, uint8_t failure) = 0;

    // Connect, the File, Device and Help menus and both lists.
    virtual void setWindowLocked(bool locked) = 0;

    // After a passed read: the buffer displays (Buffer_Sum, Buffer_End) and
    // the file name cleared.
    virtual void showBufferInfo(const QString &bufferEnd, const QString &bufferSum) = 0;
    virtual void clearFileName() = 0;
    // Enables Program, Verify and Auto where disabled (never disables).
    virtual void enableBufferCommands() = 0;
};
