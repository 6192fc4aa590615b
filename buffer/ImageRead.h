#pragma once

#include "MemoryBuffer.h"

#include <QString>

#include <algorithm>
#include <cstdint>

// What reading an image file into the buffer gave, and the one place its
// bytes are stored. A reader fills the buffer with FFh first, stores each
// piece through store(), and calls finish() once the whole file was read.
class ImageRead
{
public:
    // Empty when the whole file was read; otherwise where and why it was
    // refused ("line 12: wrong checksum", "offset 0x34: ...").
    QString error;
    // At least one byte was stored; BufferEnd is then the highest address
    // stored.
    bool dataStored = false;

    bool ok() const { return error.isEmpty(); }

    // Stores n bytes from address on. False (nothing stored) when they do
    // not fit the 64 KiB buffer: no address ever wraps.
    bool store(MemoryBuffer &buffer, uint64_t address, const char *bytes, uint64_t n)
    {
        if (address > uint64_t(MemoryBuffer::Size) || n > uint64_t(MemoryBuffer::Size) - address)
            return false;
        for (uint64_t k = 0; k < n; ++k)
            buffer.load(uint16_t(address + k), uint8_t(bytes[k]));
        if (n > 0) {
            m_highest = std::max(m_highest, uint32_t(address + n - 1));
            dataStored = true;
        }
        return true;
    }

    // "0100H", "810000H": an address as the program writes them.
    static QString addressText(uint64_t address)
    {
        return QString::number(address, 16).toUpper().rightJustified(4, QLatin1Char('0')) + QLatin1Char('H');
    }

    void finish(MemoryBuffer &buffer) const
    {
        if (dataStored)
            buffer.BufferEnd = uint16_t(m_highest);
    }

private:
    uint32_t m_highest = 0;
};
