#include "HexFileLoader.h"

#include "HexText.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>

namespace {

constexpr char CtrlZ = 0x1A;
constexpr qint64 ChunkSize = 64 * 1024;

// One record line at a time; the caller feeds bytes and handles line ends.
class RecordReader
{
public:
    RecordReader(MemoryBuffer &buffer, HexFileLoader::Result &result)
        : m_buffer(buffer), m_result(result)
    {
    }

    // Returns false when reading must stop (format error or end of file mark).
    bool feed(const char *data, qint64 size)
    {
        for (qint64 i = 0; i < size; ++i) {
            const char c = data[i];
            if (c == '\r') {
                if (!endLine())
                    return false;
                m_afterCr = true;
                continue;
            }
            if (c == '\n') {
                // CR LF is one line end; LF alone ends a line as well.
                if (!m_afterCr && !endLine())
                    return false;
                m_afterCr = false;
                continue;
            }
            m_afterCr = false;
            if (c == CtrlZ) {
                endLine();
                return false;
            }
            if (m_kept < int(m_line.size()))
                m_line[size_t(m_kept++)] = c;
            ++m_length;
        }
        return true;
    }

    void finish()
    {
        if (m_length > 0)
            endLine();
    }

private:
    // Characters from position pos (0-based) that the line holds.
    int available(int pos) const { return std::max(0, m_kept - pos); }
    uint8_t byteAt(int pos) const { return HexText::HexStr2ToByte(m_line.data() + pos, available(pos)); }

    bool endLine()
    {
        ++m_lineNumber;
        m_result.lines = m_lineNumber;
        const bool goOn = handleLine();
        m_length = 0;
        m_kept = 0;
        return goOn;
    }

    void markDamaged()
    {
        if (m_result.damagedCount++ == 0)
            m_result.firstDamagedLine = m_lineNumber;
    }

    bool formatError()
    {
        m_result.formatError = true;
        m_result.formatErrorLine = m_lineNumber;
        return false;
    }

    // The line holds every character a record of count n needs, all of them
    // hex digits, and its bytes sum to 0.
    bool wellFormed(int n) const
    {
        const int needed = 11 + 2 * n;
        if (m_length < needed)
            return false;
        unsigned sum = 0;
        for (int pos = 1; pos < needed; pos += 2) {
            if (!HexText::HEX(m_line[size_t(pos)]) || !HexText::HEX(m_line[size_t(pos + 1)]))
                return false;
            sum += byteAt(pos);
        }
        return (sum & 0xFF) == 0;
    }

    bool handleLine()
    {
        if (m_length == 0)
            return true;
        if (m_line[0] != ':')
            return formatError();

        const int n = byteAt(1);
        const uint16_t address = HexText::HexStr4ToWord(m_line.data() + 3, available(3));
        const uint8_t type = byteAt(7);
        const bool damaged = !wellFormed(n);

        switch (type) {
        case 0x01:
            break;
        case 0x02:
        case 0x04: {
            // The new base applies to the data records that follow.
            const uint32_t value = n >= 2 ? (uint32_t(byteAt(9)) << 8) | byteAt(11) : 0;
            m_base = type == 0x02 ? value << 4 : value << 16;
            if (damaged || n != 2)
                markDamaged();
            return true;
        }
        case 0x03:
        case 0x05:
            // Start addresses mean nothing to a programmer.
            if (damaged || n != 4)
                markDamaged();
            return true;
        default:
            if (m_base != 0 && m_base + address + uint32_t(std::max(n, 1)) - 1 > 0xFFFF)
                return formatError();
            storeData(address, n);
            break;
        }
        if (damaged)
            markDamaged();
        return true;
    }

    void storeData(uint16_t address, int n)
    {
        // With base 0 addresses wrap within 64 KiB; with any other base the
        // check above keeps every byte inside the buffer.
        for (int k = 0; k < n; ++k)
            m_buffer.load(uint16_t(m_base + uint16_t(address + k)), byteAt(9 + 2 * k));
        m_buffer.BufferEnd = uint16_t(m_base + address + n - 1);
        m_result.dataStored = true;
    }

    MemoryBuffer &m_buffer;
    HexFileLoader::Result &m_result;
    std::array<char, HexFileLoader::MaxKeptLine> m_line{};
    int m_kept = 0;
    qint64 m_length = 0;
    int m_lineNumber = 0;
    bool m_afterCr = false;
    uint32_t m_base = 0;
};

} // namespace

HexFileLoader::Result HexFileLoader::loadFile(const QString &path, MemoryBuffer &buffer)
{
    // A folder, a pipe or a device file is no HEX file; opening a pipe would
    // also block until someone writes to it.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return load(file, buffer);
}

HexFileLoader::Result HexFileLoader::load(const QByteArray &bytes, MemoryBuffer &buffer)
{
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    return load(device, buffer);
}

HexFileLoader::Result HexFileLoader::load(QIODevice &device, MemoryBuffer &buffer)
{
    Result result;
    result.opened = true;
    buffer.fill(0xFF);

    RecordReader reader(buffer, result);
    std::array<char, ChunkSize> chunk;
    for (;;) {
        const qint64 got = device.read(chunk.data(), ChunkSize);
        if (got < 0) {
            result.readError = true;
            result.readErrorText = device.errorString();
            return result;
        }
        if (got == 0)
            break;
        if (!reader.feed(chunk.data(), got))
            return result;
    }
    reader.finish();
    return result;
}
