#pragma once

#include "ExchangeOutcome.h"
#include "ProgrammerReply.h"

#include <cstdint>

class MemoryBuffer;
class ProgrammerLink;
class RunEvents;

// Reading a device into the buffer: the programmer sends 64-byte blocks of
// hex text with a checksum each; every character is checked, every byte
// stored as it arrives, and each correct block is answered with DC1, the
// last one with DC3; ACK then ends the read.
class ReadExchange
{
public:
    static constexpr int BlockSize = ProgrammerReply::BlockSize;

    ReadExchange(ProgrammerLink &link, RunEvents &events, MemoryBuffer &buffer, int replyMs);

    // Every byte received is reported as progress, and each block's first
    // address as its wait starts.
    ExchangeOutcome run(const QString &commandWord, uint16_t deviceEnd);

private:
    QString interruptedText() const;

    ProgrammerLink &m_link;
    RunEvents &m_events;
    MemoryBuffer &m_buffer;
    int m_replyMs;
};
