#pragma once

#include "MemoryBuffer.h"

#include <QString>
#include <cstdint>

// The viewer's hex dump: one 73-character line per 16 bytes,
// "aaaa : " + 16 x "hh " + two blanks + 16 characters.
namespace HexListing {

inline constexpr int LineLength = 73;
// Columns (0-based) where the address, hex and character parts start.
inline constexpr int AddressColumn = 0;
inline constexpr int HexColumn = 7;
inline constexpr int CharColumn = 57;

// Lines listed for a limit: one per start address below it, at least the
// one for 0000, never past the one for FFF0.
int lineCount(uint16_t limit);

QString line(const MemoryBuffer &buffer, uint16_t a);

// lineCount(limit) lines joined by "\n", built in one piece.
QString text(const MemoryBuffer &buffer, uint16_t limit);

} // namespace HexListing
