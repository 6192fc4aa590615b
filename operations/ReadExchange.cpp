#include "ReadExchange.h"

#include "CommandTexts.h"
#include "HexText.h"
#include "MemoryBuffer.h"
#include "ProgrammerLink.h"
#include "RunEvents.h"

#include <QStringBuilder>

ReadExchange::ReadExchange(ProgrammerLink &link, RunEvents &events, MemoryBuffer &buffer, int replyMs)
    : m_link(link)
    , m_events(events)
    , m_buffer(buffer)
    , m_replyMs(replyMs)
{
}

ExchangeOutcome ReadExchange::run(const QString &commandWord, uint16_t deviceEnd)
{
    const CommandTexts &texts = CommandTexts::read();
    // An incomplete frame gets no reply, so none is awaited.
    if (!m_link.SendCommand(commandWord))
        return ExchangeOutcome::fail(interruptedText());
    const int total = int(deviceEnd) + 1;
    uint16_t start = 0;
    for (;;) {
        m_events.progress(start, int(start), total);
        uint8_t sum = 0;
        for (int i = 0; i < BlockSize; ++i) {
            const uint16_t address = uint16_t(start + i);
            uint8_t b = 0;
            m_address = address;
            if (!readHexByte(b))
                return ExchangeOutcome::fail(m_failure, address);
            m_buffer.set(address, b);
            sum = uint8_t(sum + b);
            m_events.progress(address, int(address) + 1, total);
        }
        uint8_t blockSum = 0;
        if (!readHexByte(blockSum))
            return ExchangeOutcome::fail(m_failure, m_address);
        if (blockSum != sum)
            return ExchangeOutcome::fail(texts.checksumError, m_address);
        start = uint16_t(start + BlockSize);
        // A wrap to 0 means the whole address space came in.
        const bool more = start != 0 && start < deviceEnd;
        if (!m_link.SendByte(more ? Ctl::DC1 : Ctl::DC3))
            return ExchangeOutcome::fail(interruptedText());
        if (!more)
            break;
    }

    uint8_t reply = 0;
    if (!m_link.ReadByte(reply, m_replyMs))
        return ExchangeOutcome::fail(interruptedText());
    if (reply != uint8_t(Ctl::ACK))
        return ExchangeOutcome::fail(texts.error);
    return ExchangeOutcome::pass();
}

bool ReadExchange::readHexByte(uint8_t &value)
{
    char pair[2];
    if (!readHexChar(pair[0]) || !readHexChar(pair[1]))
        return false;
    value = HexText::HexStr2ToByte(pair, 2);
    return true;
}

bool ReadExchange::readHexChar(char &c)
{
    uint8_t byte = 0;
    if (!m_link.ReadByte(byte, m_replyMs)) {
        m_failure = interruptedText();
        return false;
    }
    c = char(byte);
    if (!HexText::HEX(c)) {
        m_failure = CommandTexts::read().error;
        return false;
    }
    return true;
}

QString ReadExchange::interruptedText() const
{
    const CommandTexts &texts = CommandTexts::read();
    return (m_link.AbortRequested() || m_link.shuttingDown()) ? texts.breakText : texts.timeOut;
}
