#include "FaultText.h"

#include <array>
#include <utility>

namespace FaultText {

namespace {

using E = EmulatorFault::Event;
using A = EmulatorFault::Action;

constexpr std::array<std::pair<const char *, E>, 10> Events{{
    {"bytes-sent", E::BytesSent},
    {"detection", E::DetectionReply},
    {"detection-ack", E::DetectionAck},
    {"reply", E::CommandReply},
    {"block-request", E::BlockRequest},
    {"block-received", E::BlockReceived},
    {"read-block", E::ReadBlock},
    {"final", E::FinalReply},
    {"fuse", E::FuseReply},
    {"lock", E::LockReply},
}};

enum class Arg { None, Decimal, HexByte, Text };

struct ActionName
{
    const char *name;
    A action;
    Arg arg;
    bool argRequired;
};

constexpr std::array<ActionName, 9> Actions{{
    {"silence", A::Silence, Arg::None, false},
    {"hang-up", A::HangUp, Arg::None, false},
    {"delay", A::Delay, Arg::Decimal, true},
    {"garbage", A::Garbage, Arg::HexByte, true},
    {"nak", A::Nak, Arg::Text, false},
    {"wrong-checksum", A::WrongChecksum, Arg::None, false},
    {"non-hex", A::NonHex, Arg::Decimal, false},
    {"wrong-data", A::WrongData, Arg::Decimal, false},
    {"value", A::Value, Arg::HexByte, true},
}};

std::optional<EmulatorFault> fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

} // namespace

std::optional<EmulatorFault> parse(const QString &text, QString *error)
{
    const int eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        return fail(error, QStringLiteral("missing '=' in fault \"%1\"").arg(text));
    QString left = text.left(eq);
    const QString right = text.mid(eq + 1);
    EmulatorFault fault;
    bool ok = true;

    const int at = left.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        fault.index = left.mid(at + 1).toInt(&ok);
        if (!ok || fault.index < 0)
            return fail(error, QStringLiteral("bad index in fault \"%1\"").arg(text));
        left.truncate(at);
    }
    const int colon = left.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const QString code = left.mid(colon + 1);
        fault.command = code.toInt(&ok, 16);
        if (!ok || code.size() != 2)
            return fail(error, QStringLiteral("bad command code in fault \"%1\"").arg(text));
        left.truncate(colon);
    }
    bool known = false;
    for (const auto &[name, event] : Events) {
        if (left == QLatin1String(name)) {
            fault.event = event;
            known = true;
        }
    }
    if (!known)
        return fail(error, QStringLiteral("unknown event \"%1\"").arg(left));
    if (fault.event == E::BytesSent && fault.index < 1)
        return fail(error, QStringLiteral("bytes-sent needs a count of 1 or more: \"%1\"").arg(text));

    const int argAt = right.indexOf(QLatin1Char(':'));
    const QString actionName = argAt < 0 ? right : right.left(argAt);
    const QString arg = argAt < 0 ? QString() : right.mid(argAt + 1);
    for (const ActionName &a : Actions) {
        if (actionName != QLatin1String(a.name))
            continue;
        fault.action = a.action;
        if (argAt < 0) {
            if (a.argRequired)
                return fail(error, QStringLiteral("action \"%1\" needs a value").arg(actionName));
            return fault;
        }
        switch (a.arg) {
        case Arg::None:
            return fail(error, QStringLiteral("action \"%1\" takes no value").arg(actionName));
        case Arg::Decimal: {
            const int value = arg.toInt(&ok);
            if (!ok || value < 0)
                return fail(error, QStringLiteral("bad number \"%1\"").arg(arg));
            if (a.action == A::Delay)
                fault.delayMs = value;
            else
                fault.offset = value;
            break;
        }
        case Arg::HexByte: {
            const int value = arg.toInt(&ok, 16);
            if (!ok || arg.size() != 2)
                return fail(error, QStringLiteral("bad hex byte \"%1\"").arg(arg));
            fault.byte = uint8_t(value);
            break;
        }
        case Arg::Text:
            fault.report = arg.toLatin1();
            break;
        }
        return fault;
    }
    return fail(error, QStringLiteral("unknown action \"%1\"").arg(actionName));
}

} // namespace FaultText
