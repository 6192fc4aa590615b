#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// What the programmer sends back, taken one received byte at a time. The
// exchanges do the waiting (reply timer, stop question, lost port) and hand
// each byte here; what a reply may hold is decided in this one place, which
// needs no port and can be tried with any bytes.
//
// - Detection: the firmware date as eight characters, then their sum as two
//   hex characters (a character that is not a hex digit counts as 0). In a
//   strict detection the eight characters must all be digits; the verdict
//   comes with the eighth, so a chattering device still gets the full wait.
// - HexByte: one byte as two hex characters (the fuse and lock-bit reads).
// - ReadBlock: 64 bytes as hex character pairs, then their sum as a pair.
// A byte that is not a hex digit ends a hex reply where it stands. After a
// verdict other than More or Byte the reply takes nothing more.
class ProgrammerReply
{
public:
    enum class Kind { Detection, StrictDetection, HexByte, ReadBlock };
    enum class Step {
        More,        // keep reading
        Byte,        // a data byte of a read block is complete: value()
        Complete,    // the reply is whole and correct
        NotHex,      // a character where a hex digit belongs
        NotDigits,   // strict detection: the date is not eight digits
        BadChecksum, // the sum sent does not match
    };
    // A reply of one byte: the byte awaited, NAK (the device refused), or
    // anything else.
    enum class Answer { Expected, Nak, Other };

    static constexpr int DateLength = 8;
    static constexpr int BlockSize = 64;

    explicit ProgrammerReply(Kind kind);

    Step feed(uint8_t byte);
    Step last() const { return m_last; }
    bool ended() const;
    // Bytes taken so far.
    int taken() const { return m_taken; }

    // Detection, once Complete: "dd/mm/yyyy".
    QString firmwareDate() const;
    // HexByte once Complete, ReadBlock after Byte: the byte just decoded.
    uint8_t value() const { return m_value; }
    // ReadBlock: the data bytes decoded so far (index = offset in the block).
    const QByteArray &data() const { return m_data; }

    static Answer answer(uint8_t reply, char expected);

private:
    Step feedDetection(uint8_t byte);
    Step feedHex(uint8_t byte);
    // The byte just taken starts a hex pair: every pair starts on an odd
    // byte, as a hex reply ends at its first other byte and a detection's
    // date is eight characters.
    bool highCharacter() const { return m_taken % 2 == 1; }

    Kind m_kind;
    Step m_last = Step::More;
    int m_taken = 0;
    QByteArray m_date;
    QByteArray m_data;
    uint8_t m_sum = 0;
    char m_high = 0;
    uint8_t m_value = 0;
};
