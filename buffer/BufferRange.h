#pragma once

#include "MemoryBuffer.h"
#include "SelectionState.h"

#include <QString>
#include <cstdint>

// Which part of the buffer the viewer, the checksum and Save cover, and how
// addresses and sums are shown ("07FFH").
namespace BufferRange {

// The device's end while a device may be used, otherwise BufferEnd: the
// limit of the viewer and of the checksum after a load.
uint16_t viewLimit(const MemoryBuffer &buffer, const SelectionState &selection);

// The device's end once a device was ever chosen (a refused row stays
// copied), otherwise BufferEnd.
uint16_t saveEnd(const MemoryBuffer &buffer, const SelectionState &selection);

// Four upper-case hex digits and "H".
QString addressText(uint16_t value);

// The checksum of 0..last as shown in Buffer_Sum.
QString checksumText(const MemoryBuffer &buffer, uint16_t last);

} // namespace BufferRange
