#pragma once

#include <QString>
#include <cstdint>

// Hexadecimal text as it travels on the wire and in the displays. None of
// these ever fails: odd input gives a value by the rules below.
namespace HexText {

// True exactly for 0-9, A-F and a-f.
bool HEX(QChar c);
bool HEX(char c);

// Two upper-case digits, high nibble first.
QString HexByteToStr2(uint8_t value);
// Four upper-case digits, most significant first.
QString HexWordToStr4(uint16_t value);

// Value of the first two characters; a non-digit or a missing character
// counts as the digit 0.
uint8_t HexStr2ToByte(const QString &text);
uint8_t HexStr2ToByte(const char *text, int length);

// Value of the first four characters, taken right to left; a non-digit or a
// missing character resets the running value to 0 (dropping the digits to
// its right): "3FF" gives 3FF0h, "12G4" gives 1200h, "G123" gives 0.
uint16_t HexStr4ToWord(const QString &text);
uint16_t HexStr4ToWord(const char *text, int length);

// Digit value 0-15, or -1 for a character that is not a hex digit.
int digitValue(char c);

} // namespace HexText
