#pragma once

#include "DeviceMenuState.h"

#include <optional>

class QAction;

struct TarvoLayout;

// The window's mode and the one place that turns it into the enabled state
// of every control and menu item it decides: Run, Exit/Stop, Reset,
// Connect, the File, Device and Help menus, both lists and the ten Device
// items (those follow the chosen device and the buffer, and count only
// while the Device menu is usable).
class WindowModes
{
public:
    enum class Mode {
        // Nothing armed: everything may be chosen, Run and Exit wait for a
        // command.
        Idle,
        // A command waits for Run or Exit; the rest of the window is held.
        Armed,
        // A command runs: only Stop.
        Running,
    };

    // What a mode gives the controls it decides.
    struct States
    {
        bool run;
        bool stop;
        bool reset;
        // Connect, the File, Device and Help menus and both lists.
        bool choices;
    };
    static States states(Mode mode);

    // Operator mode: a job holds the device, the file and the command.
    struct JobLock
    {
        bool active = false;
        // The port list, once the job's programmer was found on a port.
        bool portLocked = false;
        // The only Device item that may be chosen; none once the job stopped.
        std::optional<DeviceMenuItem> command;
    };
    // The File menu's job items (Open Job..., Save Job..., Close Job).
    struct JobItems
    {
        QAction *open = nullptr;
        QAction *save = nullptr;
        QAction *close = nullptr;
    };

    explicit WindowModes(const TarvoLayout &ui);

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);

    const DeviceMenuState &deviceMenu() const { return m_deviceMenu; }
    void setDeviceMenu(const DeviceMenuState &menu);
    // Program, Verify and Auto become available (a buffer to write); the
    // others are left as they are.
    void enableBufferCommands();

    const JobLock &jobLock() const { return m_job; }
    void setJobLock(const JobLock &lock);
    void setJobItems(const JobItems &items);

    // Sets every control and item from the mode and the Device items (and
    // the job's lock while a job is open).
    void apply() const;

private:
    const TarvoLayout &m_ui;
    Mode m_mode = Mode::Idle;
    DeviceMenuState m_deviceMenu;
    JobLock m_job;
    JobItems m_jobItems;

    void applyJobLock() const;
};
