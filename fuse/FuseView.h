#pragma once

#include "FuseLayout.h"

#include <QString>

// What a fuse exchange drives on the editor: the caption, the result line,
// the Read/Write buttons and the Exit/Cancle button, the two choices and
// the five state displays. The dialog implements it; a tool without
// widgets can too.
class FuseView
{
public:
    virtual ~FuseView() = default;

    virtual void setCaption(const QString &caption) = 0;
    // FuseResult
    virtual void setResult(const QString &text) = 0;
    // Read and Write; Exit always stays enabled.
    virtual void setReadWriteEnabled(bool enabled) = 0;
    virtual void setExitCaption(const QString &caption) = 0;
    virtual void focusExit() = 0;

    // One of the five state displays.
    virtual void setDisplay(FuseLayout::Target target, const QString &text) = 0;
    // Fuse1 or Fuse2: item 0 or 1, -1 for none chosen.
    virtual void setChoice(FuseLayout::Target target, int item) = 0;
    virtual int choice(FuseLayout::Target target) const = 0;
    // Caption of the radio group and "Fuse " + name on its label.
    virtual void setFuseName(FuseLayout::Target target, const QString &name) = 0;
    virtual void setFuse1Enabled(bool enabled) = 0;
};
