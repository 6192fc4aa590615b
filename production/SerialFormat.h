#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

class MemoryBuffer;

// What a serial number looks like in the image: where it goes, where the
// numbers start, how they advance and in which form they are written.
//   le, be: the number in binary, little or big endian, `bytes` bytes;
//   ascii:  `bytes` decimal digits, zero-padded;
//   bcd:    packed BCD, two digits a byte, most significant byte first.
class SerialFormat
{
public:
    enum class Form { Le, Be, Ascii, Bcd };

    uint16_t address = 0;
    quint64 start = 0;
    quint64 step = 1;
    Form form = Form::Le;
    int bytes = 4;

    static std::optional<Form> formOf(const QString &name);
    static QString formName(Form form);
    // The widest number of bytes each form takes, and the width unless told.
    static int maxBytes(Form form);
    static int defaultBytes(Form form);

    // "ADDR:START[:STEP]": ADDR in hex (0x7F0, 7F0 or 7F0H), START and STEP
    // in decimal, STEP at least 1. Fills address, start and step.
    bool parseArgument(const QString &text, QString *error);
    // 2^63 - 1: what a signed 64-bit column holds.
    static constexpr quint64 LargestStep = 0x7FFFFFFFFFFFFFFFull;

    // The largest number `bytes` bytes of the form hold.
    quint64 largest() const;
    bool fits(quint64 number) const { return number <= largest(); }
    // The bytes written for number; empty when it does not fit.
    QByteArray encode(quint64 number) const;
    // The number as written: the digits for ascii, the bytes in hex otherwise.
    QString text(quint64 number) const;
    // Writes number at address; false (nothing written) when it does not fit.
    bool write(MemoryBuffer &buffer, quint64 number) const;
    // Whether address..address+bytes-1 lies within 0..deviceEnd.
    bool fitsDevice(uint16_t deviceEnd) const;

    bool operator==(const SerialFormat &) const = default;
    // "address 07F0, start 5000, step 2, bcd, 3 bytes", for messages.
    QString describe() const;
};
