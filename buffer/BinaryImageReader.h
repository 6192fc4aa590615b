#pragma once

#include "ImageRead.h"

#include <QByteArray>

// A raw binary file: its bytes, as they stand, from a given address on.
// A file that would not fit the 64 KiB buffer from there is refused, as is
// an empty one.
class BinaryImageReader
{
public:
    static ImageRead read(const QByteArray &bytes, uint32_t offset, MemoryBuffer &buffer);
};
