#pragma once

#include "DeviceMenuState.h"

#include <QString>
#include <cstdint>

// What choosing a device drives on the main window. The window implements it;
// DeviceSelection::apply() calls it in the order the choice takes effect.
class SelectionView
{
public:
    virtual ~SelectionView() = default;

    // Device_Algo, Device_Vpp and Device_End (the latter already with "H").
    virtual void showDeviceFields(const QString &algorithm, const QString &vpp, const QString &deviceEnd) = 0;
    // Sum modulo 65536 of the buffer bytes 0..last inclusive.
    virtual uint16_t bufferChecksum(uint16_t last) const = 0;
    // Buffer_Sum, e.g. "1FE0H".
    virtual void showBufferSum(const QString &text) = 0;
    virtual void setDeviceMenu(const DeviceMenuState &menu) = 0;
    // Shows the adapter notice modally and returns once it is closed.
    virtual void showAdapterNotice() = 0;
    virtual void focusResetCount() = 0;
    // The Connect button, CheckTarvo.
    virtual void focusConnect() = 0;
};
