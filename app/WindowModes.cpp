#include "WindowModes.h"

#include "TarvoLayout.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>

namespace {

struct ModeRow
{
    WindowModes::Mode mode;
    WindowModes::States states;
};

// run, stop, reset, choices
constexpr ModeRow Rows[] = {
    {WindowModes::Mode::Idle, {false, false, true, true}},
    {WindowModes::Mode::Armed, {true, true, true, false}},
    {WindowModes::Mode::Running, {false, true, false, false}},
};

} // namespace

WindowModes::States WindowModes::states(Mode mode)
{
    for (const ModeRow &row : Rows)
        if (row.mode == mode)
            return row.states;
    return Rows[0].states;
}

WindowModes::WindowModes(const TarvoLayout &ui)
    : m_ui(ui)
{
}

void WindowModes::setMode(Mode mode)
{
    m_mode = mode;
    apply();
}

void WindowModes::setDeviceMenu(const DeviceMenuState &menu)
{
    m_deviceMenu = menu;
    apply();
}

void WindowModes::enableBufferCommands()
{
    for (DeviceMenuItem item : {DeviceMenuItem::ProgramDevice, DeviceMenuItem::VerifyDevice, DeviceMenuItem::AutoProgram})
        m_deviceMenu[item] = true;
    apply();
}

void WindowModes::apply() const
{
    const States s = states(m_mode);
    m_ui.StartRun->setEnabled(s.run);
    m_ui.StopRun->setEnabled(s.stop);
    m_ui.ResetCount->setEnabled(s.reset);
    for (QWidget *w : std::initializer_list<QWidget *>{m_ui.CheckTarvo, m_ui.File1, m_ui.Operation1, m_ui.Help1,
                                                       m_ui.SelectComPort, m_ui.SelectDevice})
        w->setEnabled(s.choices);
    const auto items = m_ui.deviceItems();
    for (std::size_t i = 0; i < DeviceMenuState::Count; ++i)
        items[i]->setEnabled(m_deviceMenu.enabled[i]);
}
