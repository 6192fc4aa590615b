#pragma once

#include <array>
#include <cstddef>

// The ten items of the Device menu, in menu order apart from Fuse and Read.
enum class DeviceMenuItem {
    EraseDevice,
    BlankDevice,
    ProgramDevice,
    VerifyDevice,
    Lock1,
    Lock2,
    Lock3,
    Fuse,
    ReadDevice,
    AutoProgram,
};

// Enabled state of the ten Device menu items; all disabled by default, as at
// start-up.
struct DeviceMenuState
{
    static constexpr std::size_t Count = 10;
    static constexpr std::array<DeviceMenuItem, Count> Items{
        DeviceMenuItem::EraseDevice, DeviceMenuItem::BlankDevice, DeviceMenuItem::ProgramDevice,
        DeviceMenuItem::VerifyDevice, DeviceMenuItem::Lock1,      DeviceMenuItem::Lock2,
        DeviceMenuItem::Lock3,       DeviceMenuItem::Fuse,        DeviceMenuItem::ReadDevice,
        DeviceMenuItem::AutoProgram,
    };

    std::array<bool, Count> enabled{};

    bool &operator[](DeviceMenuItem item) { return enabled[std::size_t(item)]; }
    bool operator[](DeviceMenuItem item) const { return enabled[std::size_t(item)]; }

    bool anyEnabled() const
    {
        for (bool e : enabled)
            if (e)
                return true;
        return false;
    }

    bool operator==(const DeviceMenuState &) const = default;
};
