#include "HexFileWriter.h"

namespace HexFileWriter {

namespace {

constexpr char Digits[] = "0123456789ABCDEF";
constexpr int RecordLength = 45;

char *putByte(char *p, uint8_t value)
{
    *p++ = Digits[value >> 4];
    *p++ = Digits[value & 0xF];
    return p;
}

void putRecord(char *p, const MemoryBuffer &buffer, uint16_t a)
{
    *p++ = ':';
    p = putByte(p, 0x10);
    p = putByte(p, uint8_t(a >> 8));
    p = putByte(p, uint8_t(a));
    p = putByte(p, 0x00);
    unsigned sum = 0x10 + (a >> 8) + (a & 0xFF);
    for (int k = 0; k < 16; ++k) {
        const uint8_t value = buffer.at(uint16_t(a + k));
        sum += value;
        p = putByte(p, value);
    }
    p = putByte(p, uint8_t((256 - (sum % 256)) % 256));
    *p++ = '\r';
    *p = '\n';
}

} // namespace

QByteArray dataRecord(const MemoryBuffer &buffer, uint16_t a)
{
    QByteArray out(RecordLength, Qt::Uninitialized);
    putRecord(out.data(), buffer, a);
    return out;
}

int recordCount(uint16_t end)
{
    return end / 16 + 1;
}

QByteArray image(const MemoryBuffer &buffer, uint16_t end)
{
    const int records = recordCount(end);
    const QByteArray endRecord(EndRecord);
    QByteArray out(qsizetype(records) * RecordLength + endRecord.size(), Qt::Uninitialized);
    char *p = out.data();
    for (int r = 0; r < records; ++r, p += RecordLength)
        putRecord(p, buffer, uint16_t(r * 16));
    std::copy(endRecord.cbegin(), endRecord.cend(), p);
    return out;
}

} // namespace HexFileWriter
