#pragma once

#include "CommandTexts.h"
#include "ExchangeOutcome.h"

class ProgrammerLink;

// Erase, blank check and the lock commands: one command word, and the
// programmer answers the whole operation with a single byte.
class SingleReplyCommand
{
public:
    SingleReplyCommand(ProgrammerLink &link, int timeoutMs);

    ExchangeOutcome run(const QString &commandWord, const CommandTexts &texts);

private:
    ProgrammerLink &m_link;
    int m_timeoutMs;
};
