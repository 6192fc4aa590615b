#pragma once

#include <QString>

// How one exchange with the programmer ended: passed, or failed with the
// text that goes on the command's status line.
struct ExchangeOutcome
{
    bool passed = false;
    QString failureText;

    static ExchangeOutcome pass() { return {true, {}}; }
    static ExchangeOutcome fail(const QString &text) { return {false, text}; }
};
