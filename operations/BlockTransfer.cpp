#include "BlockTransfer.h"

#include "HexText.h"
#include "MemoryBuffer.h"
#include "ProgrammerLink.h"
#include "ProgrammerReply.h"
#include "RunEvents.h"

#include <QStringBuilder>

BlockTransfer::BlockTransfer(ProgrammerLink &link, RunEvents &events, const MemoryBuffer &buffer, int replyMs)
    : m_link(link)
    , m_events(events)
    , m_buffer(buffer)
    , m_replyMs(replyMs)
{
}

uint8_t BlockTransfer::blockChecksum(const MemoryBuffer &buffer, uint16_t start)
{
    uint8_t sum = 0;
    for (int j = 0; j < BlockSize; ++j)
        sum = uint8_t(sum + buffer.at(uint16_t(start + j)));
    return sum;
}

ExchangeOutcome BlockTransfer::run(const QString &commandWord, uint16_t deviceEnd, const CommandTexts &texts,
                                   bool writes)
{
    const int total = int(deviceEnd) + 1;
    // An incomplete frame gets no reply, so none is awaited.
    if (!m_link.SendCommand(commandWord))
        return ExchangeOutcome::fail(interruptedText(texts));
    uint16_t start = 0;
    std::optional<uint16_t> sent;
    do {
        if (auto failed = expectReply(uint8_t(Ctl::DC1), texts))
            return fail(*failed);
        // The DC1 asks for the next block: the one before has been taken.
        if (sent && writes)
            m_events.blockWritten(*sent, uint16_t(*sent + BlockSize - 1));
        if (writes && !m_events.blockMayGo(start, uint16_t(start + BlockSize - 1)))
            return fail(texts.breakText);
        if (auto failed = sendBlock(start, texts, total))
            return fail(*failed);
        sent = start;
        start = uint16_t(start + BlockSize);
        // A wrap to 0 means the whole address space went out.
    } while (start != 0 && start < deviceEnd);

    if (auto failed = expectReply(uint8_t(Ctl::DC1), texts))
        return fail(*failed);
    if (writes)
        m_events.blockWritten(*sent, uint16_t(*sent + BlockSize - 1));
    m_address.reset();
    if (!m_link.SendByte(Ctl::DC3))
        return fail(interruptedText(texts));
    if (auto failed = expectReply(uint8_t(Ctl::ACK), texts))
        return fail(*failed);
    return ExchangeOutcome::pass();
}

std::optional<QString> BlockTransfer::expectReply(uint8_t expected, const CommandTexts &texts)
{
    uint8_t reply = 0;
    if (!m_link.ReadByte(reply, m_replyMs))
        return interruptedText(texts);
    switch (ProgrammerReply::answer(reply, char(expected))) {
    case ProgrammerReply::Answer::Expected:
        return std::nullopt;
    case ProgrammerReply::Answer::Nak:
        return texts.failReportPrefix % failureReport();
    case ProgrammerReply::Answer::Other:
        break;
    }
    return texts.error;
}

std::optional<QString> BlockTransfer::sendBlock(uint16_t start, const CommandTexts &texts, int total)
{
    // The checksum goes out right behind the data, so it is known first.
    m_link.StartBlock(blockChecksum(m_buffer, start));
    for (int j = 0; j < BlockSize; ++j) {
        const uint16_t address = uint16_t(start + j);
        m_address = address;
        // A character that could not go out ends the run here: the rest of
        // the block would reach the programmer shifted by one character.
        if (!m_link.SendWord(m_buffer.at(address)))
            return interruptedText(texts);
        m_events.progress(address, int(address) + 1, total);
    }
    if (!m_link.SendBlockChecksum())
        return interruptedText(texts);
    return std::nullopt;
}

QString BlockTransfer::failureReport()
{
    QString report;
    for (int i = 0; i < ReportLength; ++i) {
        uint8_t c = 0;
        // A character that does not come is left out; the next is still awaited.
        if (m_link.ReadByte(c, m_replyMs))
            report += QChar::fromLatin1(char(c));
    }
    return report;
}

QString BlockTransfer::interruptedText(const CommandTexts &texts) const
{
    return (m_link.AbortRequested() || m_link.shuttingDown()) ? texts.breakText : texts.timeOut;
}
