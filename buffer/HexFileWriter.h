#pragma once

#include "MemoryBuffer.h"

#include <QByteArray>
#include <cstdint>

// The records Save writes: 16-byte data records from 0000 up to the line
// that holds the end address, then the end-of-file record, each line ended
// by CR LF, hex digits upper-case.
namespace HexFileWriter {

inline constexpr char EndRecord[] = ":00000001FF\r\n";

// ":10" aaaa "00" 32 digits checksum CR LF for the bytes at a..a+15.
QByteArray dataRecord(const MemoryBuffer &buffer, uint16_t a);

// Number of data records that cover 0..end: at least one, at most 4096.
int recordCount(uint16_t end);

// The whole file for 0..end.
QByteArray image(const MemoryBuffer &buffer, uint16_t end);

} // namespace HexFileWriter
