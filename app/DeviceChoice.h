#pragma once

#include "SelectionView.h"

#include <functional>

class BenchSession;
class MemoryBuffer;
class Prompter;
class WindowModes;
struct SelectionState;
struct TarvoLayout;

// The device list: runs the device rules on the chosen row and shows their
// outcome (the device's fields, the checksum, the Device items, the notices)
// on the window and in the session.
class DeviceChoice : private SelectionView
{
public:
    struct Parts
    {
        const TarvoLayout &ui;
        WindowModes &modes;
        BenchSession &session;
        MemoryBuffer &buffer;
        SelectionState &selection;
        Prompter &prompter;
        // Shows the adapter notice modally.
        std::function<void()> adapterNotice;
    };
    explicit DeviceChoice(Parts parts);

    // An entry of the device list was chosen or typed.
    void choose();

private:
    void showDeviceFields(const QString &algorithm, const QString &vpp, const QString &deviceEnd) override;
    uint16_t bufferChecksum(uint16_t last) const override;
    void showBufferSum(const QString &text) override;
    void setDeviceMenu(const DeviceMenuState &menu) override;
    void showAdapterNotice() override;
    void focusResetCount() override;
    void focusConnect() override;

    Parts m_parts;
};
