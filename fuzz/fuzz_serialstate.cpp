// libFuzzer target for the serial state file. Any text is read or refused
// with a reason; a state read writes out as text that reads back to the
// same state and the same text, whatever host names it holds.
#include "SerialState.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    std::optional<SerialState> state = SerialState::fromText(text, 1, &error);
    if (!state) {
        if (error.isEmpty())
            abort();
        return 0;
    }
    const BenchIdentity self{QStringLiteral("bench"), QStringLiteral("m"), QStringLiteral("b"), 1};
    state->reclaim(self, [](qint64 pid) { return pid % 2 == 0; }, 1000);
    // A host name of any bytes the input gives.
    state->reserve({QString::fromUtf8(text.left(12)), QString::fromUtf8(text.mid(12, 4)), QString(), 3}, 1000);
    // (Lists of numbers are compared through the text: Qt 6.4's own
    // comparison of two empty ones passes memcmp a null pointer.)
    const QByteArray written = state->toText();
    const std::optional<SerialState> back = SerialState::fromText(written, 1, &error);
    if (!back || back->toText() != written || back->reserved() != state->reserved()) {
        fprintf(stderr, "written:\n%s\nread back:\n%s\n%s\n", written.constData(),
                back ? back->toText().constData() : "", qPrintable(error));
        abort();
    }
    return 0;
}
