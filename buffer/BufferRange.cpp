#include "BufferRange.h"

#include "HexText.h"

namespace BufferRange {

uint16_t viewLimit(const MemoryBuffer &buffer, const SelectionState &selection)
{
    return selection.DeviceSelected ? selection.SelectedDevice.deviceEnd() : buffer.BufferEnd;
}

uint16_t saveEnd(const MemoryBuffer &buffer, const SelectionState &selection)
{
    return selection.SelectedDevice.DeviceEnd.isEmpty() ? buffer.BufferEnd : selection.SelectedDevice.deviceEnd();
}

QString addressText(uint16_t value)
{
    return HexText::HexWordToStr4(value) + QLatin1Char('H');
}

QString checksumText(const MemoryBuffer &buffer, uint16_t last)
{
    return addressText(buffer.checksum(last));
}

} // namespace BufferRange
