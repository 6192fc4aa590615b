#include "StructureDevice.h"

#include "HexText.h"

uint16_t StructureDevice::deviceEnd() const
{
    return HexText::HexStr4ToWord(DeviceEnd);
}
