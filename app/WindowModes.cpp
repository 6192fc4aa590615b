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

void WindowModes::setJobLock(const JobLock &lock)
{
    m_job = lock;
    apply();
}

void WindowModes::setJobItems(const JobItems &items)
{
    m_jobItems = items;
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
    applyJobLock();
}

// On top of the mode: without a job the job items follow the File menu
// (Close Job out of it);
// with one, the device, the file and every command but the job's are held,
// and the File menu stays open for Close Job while the command waits.
void WindowModes::applyJobLock() const
{
    const States s = states(m_mode);
    if (m_jobItems.close) {
        m_jobItems.open->setEnabled(!m_job.active);
        m_jobItems.save->setEnabled(!m_job.active);
        // Only a job open has Close Job in the menu.
        const bool listed = m_ui.File1->actions().contains(m_jobItems.close);
        if (m_job.active && !listed)
            m_ui.File1->addAction(m_jobItems.close);
        else if (!m_job.active && listed)
            m_ui.File1->removeAction(m_jobItems.close);
    }
    if (!m_job.active) {
        for (QAction *item : {m_ui.FileOpenItem, m_ui.FileSaveItem, m_ui.Buffer1})
            item->setEnabled(true);
        return;
    }
    const bool idle = m_mode == Mode::Idle;
    m_ui.File1->setEnabled(m_mode != Mode::Running);
    m_ui.FileOpenItem->setEnabled(false);
    m_ui.FileSaveItem->setEnabled(idle);
    m_ui.Buffer1->setEnabled(idle);
    m_ui.SelectDevice->setEnabled(false);
    m_ui.SelectComPort->setEnabled(s.choices && !m_job.portLocked);
    const auto items = m_ui.deviceItems();
    for (std::size_t i = 0; i < DeviceMenuState::Count; ++i)
        items[i]->setEnabled(m_job.command && DeviceMenuState::Items[i] == *m_job.command && m_deviceMenu.enabled[i]);
}
