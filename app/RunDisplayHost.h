#pragma once

#include "RunListener.h"
#include "WindowModes.h"

#include <QString>

// What the run display asks of the rest of the window: the parts that are
// the window's own state rather than the run's.
class RunDisplayHost
{
public:
    virtual ~RunDisplayHost() = default;
    // The window's mode: which of Run, Exit/Stop, Reset and the rest of the
    // window (Connect, the menus, both lists) may be used.
    virtual void setMode(WindowModes::Mode mode) = 0;
    // Enables Program, Verify and Auto where disabled (never disables).
    virtual void enableBufferCommands() = 0;
    // After a passed read: the buffer displays (Buffer_End, Buffer_Sum) and
    // the file name cleared.
    virtual void showReadBuffer(const QString &bufferEnd, const QString &bufferSum) = 0;
    // The counters as shown (the window keeps them in the bench's session).
    virtual void countsShown(RunCounts counts) = 0;
    // A device is chosen (and allowed by the firmware rule).
    virtual bool deviceSelected() const = 0;
};
