#include "ProgrammerReply.h"

#include "ControlBytes.h"
#include "HexText.h"

#include <algorithm>

ProgrammerReply::ProgrammerReply(Kind kind)
    : m_kind(kind)
{
}

bool ProgrammerReply::ended() const
{
    return m_last != Step::More && m_last != Step::Byte;
}

ProgrammerReply::Step ProgrammerReply::feed(uint8_t byte)
{
    if (ended())
        return m_last;
    ++m_taken;
    const bool detection = m_kind == Kind::Detection || m_kind == Kind::StrictDetection;
    m_last = detection ? feedDetection(byte) : feedHex(byte);
    return m_last;
}

ProgrammerReply::Step ProgrammerReply::feedDetection(uint8_t byte)
{
    if (m_date.size() < DateLength) {
        m_date.append(char(byte));
        m_sum = uint8_t(m_sum + byte);
        if (m_date.size() < DateLength || m_kind != Kind::StrictDetection)
            return Step::More;
        const bool digits =
            std::all_of(m_date.cbegin(), m_date.cend(), [](char c) { return c >= '0' && c <= '9'; });
        return digits ? Step::More : Step::NotDigits;
    }
    if (highCharacter()) {
        m_high = char(byte);
        return Step::More;
    }
    // The sum's characters are taken as they come: not a digit counts as 0.
    const char pair[2] = {m_high, char(byte)};
    return HexText::HexStr2ToByte(pair, 2) == m_sum ? Step::Complete : Step::BadChecksum;
}

ProgrammerReply::Step ProgrammerReply::feedHex(uint8_t byte)
{
    if (!HexText::HEX(char(byte)))
        return Step::NotHex;
    if (highCharacter()) {
        m_high = char(byte);
        return Step::More;
    }
    const char pair[2] = {m_high, char(byte)};
    m_value = HexText::HexStr2ToByte(pair, 2);
    if (m_kind == Kind::HexByte)
        return Step::Complete;
    if (m_data.size() < BlockSize) {
        m_data.append(char(m_value));
        m_sum = uint8_t(m_sum + m_value);
        return Step::Byte;
    }
    return m_value == m_sum ? Step::Complete : Step::BadChecksum;
}

QString ProgrammerReply::firmwareDate() const
{
    const QString text = QString::fromLatin1(m_date);
    return text.mid(0, 2) + QLatin1Char('/') + text.mid(2, 2) + QLatin1Char('/') + text.mid(4, 4);
}

ProgrammerReply::Answer ProgrammerReply::answer(uint8_t reply, char expected)
{
    if (reply == uint8_t(expected))
        return Answer::Expected;
    return reply == uint8_t(Ctl::NAK) ? Answer::Nak : Answer::Other;
}
