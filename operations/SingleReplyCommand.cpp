#include "SingleReplyCommand.h"

#include "ProgrammerLink.h"
#include "ProgrammerReply.h"

SingleReplyCommand::SingleReplyCommand(ProgrammerLink &link, int timeoutMs)
    : m_link(link)
    , m_timeoutMs(timeoutMs)
{
}

ExchangeOutcome SingleReplyCommand::run(const QString &commandWord, const CommandTexts &texts)
{
    uint8_t reply = 0;
    // These commands have no break text: a confirmed stop reads as a
    // time-out. An incomplete frame gets no reply, so none is awaited.
    if (!m_link.SendCommand(commandWord) || !m_link.ReadByte(reply, m_timeoutMs))
        return ExchangeOutcome::fail(texts.timeOut);
    switch (ProgrammerReply::answer(reply, Ctl::ACK)) {
    case ProgrammerReply::Answer::Expected:
        return ExchangeOutcome::pass();
    case ProgrammerReply::Answer::Nak:
        return ExchangeOutcome::fail(texts.fail);
    case ProgrammerReply::Answer::Other:
        break;
    }
    return ExchangeOutcome::fail(texts.error);
}
