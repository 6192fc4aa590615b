#include "ReadExchange.h"

#include "CommandTexts.h"
#include "MemoryBuffer.h"
#include "ProgrammerLink.h"
#include "ProgrammerReply.h"
#include "RunEvents.h"

#include <algorithm>

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
        ProgrammerReply block(ProgrammerReply::Kind::ReadBlock);
        while (!block.ended()) {
            // The address being read; the block's last one while its sum comes.
            const auto offset = std::min<qsizetype>(block.data().size(), BlockSize - 1);
            const uint16_t address = uint16_t(start + offset);
            uint8_t byte = 0;
            if (!m_link.ReadByte(byte, m_replyMs))
                return ExchangeOutcome::fail(interruptedText(), address);
            switch (block.feed(byte)) {
            case ProgrammerReply::Step::Byte:
                m_buffer.set(address, block.value());
                m_events.progress(address, int(address) + 1, total);
                break;
            case ProgrammerReply::Step::NotHex:
                return ExchangeOutcome::fail(texts.error, address);
            case ProgrammerReply::Step::BadChecksum:
                return ExchangeOutcome::fail(texts.checksumError, address);
            default:
                break;
            }
        }
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
    if (ProgrammerReply::answer(reply, Ctl::ACK) != ProgrammerReply::Answer::Expected)
        return ExchangeOutcome::fail(texts.error);
    return ExchangeOutcome::pass();
}

QString ReadExchange::interruptedText() const
{
    const CommandTexts &texts = CommandTexts::read();
    return (m_link.AbortRequested() || m_link.shuttingDown()) ? texts.breakText : texts.timeOut;
}
