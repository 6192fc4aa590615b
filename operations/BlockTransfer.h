#pragma once

#include "CommandTexts.h"
#include "ExchangeOutcome.h"

#include <cstdint>
#include <optional>

class MemoryBuffer;
class ProgrammerLink;
class RunEvents;

// The exchange Program and Verify share: the buffer from address 0 to the
// device end goes out in 64-byte blocks of hex text, each followed by its
// checksum, one block per DC1 from the programmer; DC3 answers the DC1
// after the last block, and ACK or NAK gives the outcome.
class BlockTransfer
{
public:
    static constexpr int BlockSize = 64;
    static constexpr int ReportLength = 4;

    BlockTransfer(ProgrammerLink &link, RunEvents &events, const MemoryBuffer &buffer, int replyMs);

    // Every byte sent is reported as progress; with writes (Program) every
    // block is offered to the listeners before it goes out (one may stop
    // the run there) and reported as written once the programmer took it.
    ExchangeOutcome run(const QString &commandWord, uint16_t deviceEnd, const CommandTexts &texts, bool writes);

    // Sum modulo 256 of the 64 buffer bytes from start.
    static uint8_t blockChecksum(const MemoryBuffer &buffer, uint16_t start);

private:
    // No text: the reply was the one expected.
    std::optional<QString> expectReply(uint8_t expected, const CommandTexts &texts);
    std::optional<QString> sendBlock(uint16_t start, const CommandTexts &texts, int total);
    ExchangeOutcome fail(const QString &text) const { return ExchangeOutcome::fail(text, m_address); }
    QString failureReport();
    // Why a wait or a send ended without its byte.
    QString interruptedText(const CommandTexts &texts) const;

    ProgrammerLink &m_link;
    RunEvents &m_events;
    const MemoryBuffer &m_buffer;
    int m_replyMs;
    // The address in transfer, for a failure.
    std::optional<uint16_t> m_address;
};
