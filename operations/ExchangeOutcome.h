#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// How one exchange with the programmer ended: passed, or failed with the
// text that goes on the command's status line.
struct ExchangeOutcome
{
    bool passed = false;
    QString failureText;
    // The address in transfer when a block exchange failed.
    std::optional<uint16_t> failingAddress;

    static ExchangeOutcome pass() { return {true, {}, {}}; }
    static ExchangeOutcome fail(const QString &text, std::optional<uint16_t> address = {})
    {
        return {false, text, address};
    }
};
