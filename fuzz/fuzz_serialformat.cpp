// libFuzzer target for serial numbers: --serial ADDR:START[:STEP], the form
// and width, and the numbers written. Run with UBSan: no step or start may
// overflow. A parsed step is from 1 to 2^63 - 1; a number that fits is
// written in exactly its bytes; one that does not is written nowhere.
#include "MemoryBuffer.h"
#include "SerialFormat.h"
#include "SerialState.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // First byte: form and width; the rest: the argument.
    SerialFormat format;
    format.form = SerialFormat::Form(data[0] % 4);
    format.bytes = 1 + (data[0] >> 2) % SerialFormat::maxBytes(format.form);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QString error;
    if (!format.parseArgument(text, &error)) {
        if (error.isEmpty())
            abort();
        return 0;
    }
    if (format.step < 1 || format.step > SerialFormat::LargestStep)
        abort();
    if (SerialFormat::formOf(SerialFormat::formName(format.form)) != format.form)
        abort();

    static MemoryBuffer buffer;
    SerialState state(format.start, format.step);
    for (int i = 0; i < 4; ++i) {
        const std::optional<quint64> number = state.reserve(BenchIdentity(), 0);
        if (!number)
            break;
        const QByteArray bytes = format.encode(*number);
        if (format.fits(*number) != (bytes.size() == format.bytes) || (!format.fits(*number) && !bytes.isEmpty()))
            abort();
        buffer.fill(0xFF);
        const bool written = format.write(buffer, *number);
        if (written != format.fits(*number))
            abort();
        if (written) {
            for (int b = 0; b < format.bytes; ++b)
                if (buffer.at(uint16_t(format.address + b)) != uint8_t(bytes.at(b)))
                    abort();
        }
        if (format.text(*number).isEmpty() && format.fits(*number))
            abort();
    }
    return 0;
}
