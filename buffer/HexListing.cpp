#include "HexListing.h"

namespace HexListing {

namespace {

constexpr char Digits[] = "0123456789ABCDEF";

// Writes LineLength characters.
void putLine(QChar *p, const MemoryBuffer &buffer, uint16_t a)
{
    for (int shift = 12; shift >= 0; shift -= 4)
        *p++ = QLatin1Char(Digits[(a >> shift) & 0xF]);
    *p++ = QLatin1Char(' ');
    *p++ = QLatin1Char(':');
    *p++ = QLatin1Char(' ');
    QChar *chars = p + 16 * 3 + 2;
    for (int k = 0; k < 16; ++k) {
        const uint8_t value = buffer.at(uint16_t(a + k));
        *p++ = QLatin1Char(Digits[value >> 4]);
        *p++ = QLatin1Char(Digits[value & 0xF]);
        *p++ = QLatin1Char(' ');
        *chars++ = value >= 0x20 && value <= 0x7F ? QChar(value) : QLatin1Char('.');
    }
    *p++ = QLatin1Char(' ');
    *p = QLatin1Char(' ');
}

} // namespace

int lineCount(uint16_t limit)
{
    return limit == 0 ? 1 : (limit + 15) / 16;
}

QString line(const MemoryBuffer &buffer, uint16_t a)
{
    QString out(LineLength, Qt::Uninitialized);
    putLine(out.data(), buffer, a);
    return out;
}

QString text(const MemoryBuffer &buffer, uint16_t limit)
{
    const int lines = lineCount(limit);
    QString out(qsizetype(lines) * (LineLength + 1) - 1, Qt::Uninitialized);
    QChar *p = out.data();
    for (int i = 0; i < lines; ++i) {
        if (i > 0)
            *p++ = QLatin1Char('\n');
        putLine(p, buffer, uint16_t(i * 16));
        p += LineLength;
    }
    return out;
}

} // namespace HexListing
