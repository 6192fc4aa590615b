#include "DeviceSelection.h"

#include "DeviceCatalogue.h"
#include "HexText.h"
#include "Prompter.h"
#include "SelectionView.h"

const QString DeviceSelection::AdapterDevice = QStringLiteral("AT90S8535");
const QString DeviceSelection::RefusedAlgorithm = QStringLiteral("89SXX");
const QString DeviceSelection::RefusedBiosCode = QStringLiteral("04/06/2001");
const QString DeviceSelection::RefusalPrefix = QStringLiteral("This Device Not Support on Bios :");
const QString DeviceSelection::LengthWarningText = QStringLiteral("End Buffer Over End Device");

namespace {

int lockItemsFor(const QString &lockLevel)
{
    if (lockLevel == QLatin1String("0001"))
        return 1;
    if (lockLevel == QLatin1String("0002"))
        return 2;
    if (lockLevel == QLatin1String("0003"))
        return 3;
    return 0;
}

bool hasFuseEditor(const QString &typeCode)
{
    return typeCode == QLatin1String("04") || typeCode == QLatin1String("06") || typeCode == QLatin1String("07");
}

} // namespace

DeviceSelection::Outcome DeviceSelection::compute(const Input &input)
{
    Outcome out;
    out.state = input.state;
    out.menu = input.menu;

    // The list only offers catalogue rows; any other index counts as "no row"
    // rather than reading past the table.
    if (input.index >= 0 && input.index < DeviceCatalogue::Count) {
        const StructureDevice &row = DeviceCatalogue::row(input.index);
        out.rowChosen = true;
        out.state.DeviceSelected = true;
        out.algorithm = row.Algorithm;
        out.vpp = row.Vpp;
        out.deviceEnd = row.DeviceEnd + QLatin1Char('H');
        out.state.SelectedDevice = row;

        out.menu[DeviceMenuItem::Lock1] = false;
        out.menu[DeviceMenuItem::Lock2] = false;
        out.menu[DeviceMenuItem::Lock3] = false;
        out.menu[DeviceMenuItem::Fuse] = false;
        out.menu[DeviceMenuItem::EraseDevice] = true;
        out.menu[DeviceMenuItem::BlankDevice] = true;
        out.menu[DeviceMenuItem::ReadDevice] = true;
        // Only ever enables: a read may have enabled them without a file.
        if (input.FileLoaded) {
            out.menu[DeviceMenuItem::ProgramDevice] = true;
            out.menu[DeviceMenuItem::VerifyDevice] = true;
            out.menu[DeviceMenuItem::AutoProgram] = true;
        }
    }

    const StructureDevice &device = out.state.SelectedDevice;
    out.checksumEnd = device.deviceEnd();

    if (hasFuseEditor(device.TypeCode))
        out.menu[DeviceMenuItem::Fuse] = true;
    const int locks = lockItemsFor(device.LockLevel);
    if (locks >= 1)
        out.menu[DeviceMenuItem::Lock1] = true;
    if (locks >= 2)
        out.menu[DeviceMenuItem::Lock2] = true;
    if (locks >= 3)
        out.menu[DeviceMenuItem::Lock3] = true;

    out.adapterNotice = device.DeviceName == AdapterDevice;

    out.finalMenu = out.menu;
    if (device.Algorithm == RefusedAlgorithm && input.biosCode == RefusedBiosCode) {
        out.refusal = RefusalPrefix + input.biosCode;
        out.state.DeviceSelected = false;
        out.finalMenu = DeviceMenuState{};
    }

    if (input.FileLoaded && device.deviceEnd() < input.BufferEnd)
        out.lengthWarning = LengthWarningText;

    return out;
}

void DeviceSelection::apply(const Outcome &outcome, SelectionView &view, Prompter &prompter)
{
    if (outcome.rowChosen)
        view.showDeviceFields(outcome.algorithm, outcome.vpp, outcome.deviceEnd);
    view.showBufferSum(checksumText(view.bufferChecksum(outcome.checksumEnd)));
    view.setDeviceMenu(outcome.menu);
    if (outcome.adapterNotice) {
        view.showAdapterNotice();
        view.focusResetCount();
    }
    if (!outcome.refusal.isEmpty()) {
        prompter.error(outcome.refusal);
        view.setDeviceMenu(outcome.finalMenu);
    }
    if (!outcome.lengthWarning.isEmpty())
        prompter.warning(outcome.lengthWarning);
    view.focusConnect();
}

QString DeviceSelection::checksumText(uint16_t sum)
{
    return HexText::HexWordToStr4(sum) + QLatin1Char('H');
}
