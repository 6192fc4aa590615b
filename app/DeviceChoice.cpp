#include "DeviceChoice.h"

#include "BenchSession.h"
#include "DeviceSelection.h"
#include "MemoryBuffer.h"
#include "PortChoice.h"
#include "TarvoLayout.h"
#include "WindowModes.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

DeviceChoice::DeviceChoice(Parts parts)
    : m_parts(std::move(parts))
{
}

void DeviceChoice::choose()
{
    DeviceSelection::Input in;
    in.index = PortChoice::chosenIndex(m_parts.ui.SelectDevice);
    in.state = m_parts.selection;
    in.FileLoaded = m_parts.buffer.FileLoaded;
    in.BufferEnd = m_parts.buffer.BufferEnd;
    in.biosCode = m_parts.session.firmwareDate();
    in.menu = m_parts.modes.deviceMenu();
    const DeviceSelection::Outcome out = DeviceSelection::compute(in);
    m_parts.selection = out.state;
    m_parts.session.setDevice(out.state.SelectedDevice.DeviceName);
    DeviceSelection::apply(out, *this, m_parts.prompter);
}

void DeviceChoice::showDeviceFields(const QString &algorithm, const QString &vpp, const QString &deviceEnd)
{
    m_parts.ui.Device_Algo->setText(algorithm);
    m_parts.ui.Device_Vpp->setText(vpp);
    m_parts.ui.Device_End->setText(deviceEnd);
}

uint16_t DeviceChoice::bufferChecksum(uint16_t last) const
{
    return m_parts.buffer.checksum(last);
}

void DeviceChoice::showBufferSum(const QString &text)
{
    m_parts.session.setChecksum(text);
}

void DeviceChoice::setDeviceMenu(const DeviceMenuState &menu)
{
    m_parts.modes.setDeviceMenu(menu);
}

void DeviceChoice::showAdapterNotice()
{
    if (m_parts.adapterNotice)
        m_parts.adapterNotice();
}

void DeviceChoice::focusResetCount()
{
    m_parts.ui.ResetCount->setFocus();
}

void DeviceChoice::focusConnect()
{
    m_parts.ui.CheckTarvo->setFocus();
}
