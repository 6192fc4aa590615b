#include "HexText.h"

namespace HexText {

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

static int digitValue(QChar c)
{
    return c.unicode() < 128 ? digitValue(char(c.unicode())) : -1;
}

bool HEX(char c)
{
    return digitValue(c) >= 0;
}

bool HEX(QChar c)
{
    return digitValue(c) >= 0;
}

static const char Digits[] = "0123456789ABCDEF";

QString HexByteToStr2(uint8_t value)
{
    const QChar s[2] = {QLatin1Char(Digits[value >> 4]), QLatin1Char(Digits[value & 0xF])};
    return QString(s, 2);
}

QString HexWordToStr4(uint16_t value)
{
    const QChar s[4] = {QLatin1Char(Digits[(value >> 12) & 0xF]), QLatin1Char(Digits[(value >> 8) & 0xF]),
                        QLatin1Char(Digits[(value >> 4) & 0xF]), QLatin1Char(Digits[value & 0xF])};
    return QString(s, 4);
}

template<typename CharAt>
static uint8_t str2ToByte(int length, CharAt at)
{
    int value = 0;
    for (int i = 0; i < 2; ++i) {
        const int d = i < length ? at(i) : -1;
        value = value * 16 + (d < 0 ? 0 : d);
    }
    return uint8_t(value);
}

template<typename CharAt>
static uint16_t str4ToWord(int length, CharAt at)
{
    unsigned value = 0;
    unsigned weight = 1;
    for (int i = 3; i >= 0; --i, weight *= 16) {
        const int d = i < length ? at(i) : -1;
        if (d < 0)
            value = 0;
        else
            value += unsigned(d) * weight;
    }
    return uint16_t(value);
}

uint8_t HexStr2ToByte(const QString &text)
{
    return str2ToByte(int(text.size()), [&](int i) { return digitValue(text.at(i)); });
}

uint8_t HexStr2ToByte(const char *text, int length)
{
    return str2ToByte(length, [&](int i) { return digitValue(text[i]); });
}

uint16_t HexStr4ToWord(const QString &text)
{
    return str4ToWord(int(text.size()), [&](int i) { return digitValue(text.at(i)); });
}

uint16_t HexStr4ToWord(const char *text, int length)
{
    return str4ToWord(length, [&](int i) { return digitValue(text[i]); });
}

} // namespace HexText
