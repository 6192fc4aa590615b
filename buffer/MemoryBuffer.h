#pragma once

#include <array>
#include <bitset>
#include <cstdint>

// The 64 KiB memory image every file and device transfer passes through.
// Addresses are 16-bit and wrap, so no access can leave the array.
class MemoryBuffer
{
public:
    static constexpr int Size = 65536;

    MemoryBuffer() { m_bytes.fill(0x00); }

    uint8_t at(uint16_t address) const { return m_bytes[address]; }
    void set(uint16_t address, uint8_t value) { m_bytes[address] = value; }
    // A byte a file loader stored: the image holds data there.
    void load(uint16_t address, uint8_t value)
    {
        m_bytes[address] = value;
        m_fromFile.set(address);
    }
    // Filling starts a new image: no byte is from a file any more.
    void fill(uint8_t value)
    {
        m_bytes.fill(value);
        m_fromFile.reset();
    }
    bool fromFile(uint16_t address) const { return m_fromFile.test(address); }
    // The first address in first..last (inclusive) a file filled, if any.
    int firstFromFile(uint16_t first, uint16_t last) const
    {
        for (uint32_t a = first; a <= last; ++a)
            if (m_fromFile.test(a))
                return int(a);
        return -1;
    }
    const uint8_t *data() const { return m_bytes.data(); }

    // Sum modulo 65536 of the bytes at 0..last inclusive.
    uint16_t checksum(uint16_t last) const
    {
        uint32_t sum = 0;
        for (uint32_t a = 0; a <= last; ++a)
            sum += m_bytes[a];
        return uint16_t(sum);
    }

    // Last address of the data: 511 at start-up.
    uint16_t BufferEnd = 511;
    bool FileLoaded = false;

private:
    std::array<uint8_t, Size> m_bytes;
    std::bitset<Size> m_fromFile;
};
