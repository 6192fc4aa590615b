// libFuzzer target for the ELF image reader (libelf underneath). Besides
// surviving any input it checks that a refusal names an offset within the
// file, and that a good read stores something and reads the same again.
#include "ElfImageReader.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static MemoryBuffer first, second;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    const ImageRead r = ElfImageReader::read(bytes, first);
    if (!r.ok()) {
        if (!r.error.startsWith(QLatin1String("offset ")))
            abort();
        return 0;
    }
    if (!r.dataStored)
        abort();
    const ImageRead again = ElfImageReader::read(bytes, second);
    if (!again.ok() || memcmp(first.data(), second.data(), MemoryBuffer::Size) != 0 || first.BufferEnd != second.BufferEnd)
        abort();
    return 0;
}
