// libFuzzer target for the Intel HEX loader. Besides surviving any input it
// checks that reading in small pieces gives the same as reading at once,
// and that what ends in the buffer saves and loads back unchanged.
#include "HexFileLoader.h"
#include "HexFileWriter.h"
#include "PieceDevice.h"

#include <QBuffer>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

bool same(const HexFileLoader::Result &a, const HexFileLoader::Result &b)
{
    return a.opened == b.opened && a.formatError == b.formatError && a.formatErrorLine == b.formatErrorLine
           && a.readError == b.readError && a.damagedCount == b.damagedCount
           && a.firstDamagedLine == b.firstDamagedLine && a.dataStored == b.dataStored && a.lines == b.lines;
}

bool sameBytes(const MemoryBuffer &a, const MemoryBuffer &b)
{
    return memcmp(a.data(), b.data(), MemoryBuffer::Size) == 0 && a.BufferEnd == b.BufferEnd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static MemoryBuffer whole, pieces, back;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    const HexFileLoader::Result r = HexFileLoader::load(bytes, whole);
    if (!r.opened || r.readError || (r.damagedCount > 0) != (r.firstDamagedLine > 0)
        || (r.formatError && r.formatErrorLine < 1) || r.firstDamagedLine > r.lines)
        abort();

    PieceDevice device(bytes, size > 0 ? data[0] % 7 + 1 : 1);
    if (!same(r, HexFileLoader::load(device, pieces)) || !sameBytes(whole, pieces))
        abort();

    // Records for the lines the load changed; every other line is FFh in
    // both buffers.
    QByteArray saved;
    for (int a = 0; a < MemoryBuffer::Size; a += 16) {
        const uint8_t *line = whole.data() + a;
        if (std::any_of(line, line + 16, [](uint8_t b) { return b != 0xFF; }))
            saved += HexFileWriter::dataRecord(whole, uint16_t(a));
    }
    const HexFileLoader::Result again = HexFileLoader::load(saved + HexFileWriter::EndRecord, back);
    if (again.damagedCount != 0 || again.formatError || memcmp(back.data(), whole.data(), MemoryBuffer::Size) != 0)
        abort();
    return 0;
}
