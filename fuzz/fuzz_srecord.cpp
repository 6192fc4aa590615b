// libFuzzer target for the S-record reader. Besides surviving any input it
// checks that a refusal names its line, that CR LF line ends read the same
// as LF, and that what a good file put in the buffer saves as Intel HEX and
// loads back unchanged.
#include "HexFileLoader.h"
#include "HexFileWriter.h"
#include "SRecordReader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static MemoryBuffer buffer, crlf, back;
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    const ImageRead r = SRecordReader::read(text, buffer);
    if (!r.ok()) {
        if (!r.error.startsWith(QLatin1String("line ")))
            abort();
        const qsizetype colon = r.error.indexOf(QLatin1Char(':'));
        bool number = false;
        const int line = r.error.mid(5, colon - 5).toInt(&number);
        if (!number || line < 1 || line > text.count('\n') + 1)
            abort();
    }

    // Only LF gets a CR before it; a CR already there would make CR CR LF.
    if (!text.contains('\r')) {
        QByteArray withCr = text;
        withCr.replace("\n", "\r\n");
        const ImageRead again = SRecordReader::read(withCr, crlf);
        // BufferEnd is only set when a whole file stored something.
        if (again.error != r.error || again.dataStored != r.dataStored
            || (r.ok() && memcmp(crlf.data(), buffer.data(), MemoryBuffer::Size) != 0)
            || (r.ok() && r.dataStored && crlf.BufferEnd != buffer.BufferEnd))
            abort();
    }

    if (r.ok() && r.dataStored) {
        QByteArray saved;
        for (int a = 0; a < MemoryBuffer::Size; a += 16) {
            const uint8_t *line = buffer.data() + a;
            if (std::any_of(line, line + 16, [](uint8_t b) { return b != 0xFF; }))
                saved += HexFileWriter::dataRecord(buffer, uint16_t(a));
        }
        const HexFileLoader::Result hex = HexFileLoader::load(saved + HexFileWriter::EndRecord, back);
        if (hex.damagedCount != 0 || hex.formatError || memcmp(back.data(), buffer.data(), MemoryBuffer::Size) != 0)
            abort();
    }
    return 0;
}
