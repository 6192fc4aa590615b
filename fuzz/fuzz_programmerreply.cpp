// libFuzzer target for the programmer's replies: the first byte picks the
// reply kind (detection, strict detection, a fuse or lock byte, a read block),
// the rest arrives byte by byte as from the line. Besides surviving any bytes
// it checks each verdict against the reply's own rules: a reply takes nothing
// after its verdict, a complete reply has exactly its length and sum, the
// bytes decoded are the hex text received, and a refusal stands on the byte
// that broke the rule.
#include "HexText.h"
#include "ProgrammerReply.h"

#include <algorithm>
#include <cstdlib>

namespace {

using Kind = ProgrammerReply::Kind;
using Step = ProgrammerReply::Step;

void check(bool condition)
{
    if (!condition)
        abort();
}

bool allHex(const QByteArray &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](char c) { return HexText::HEX(c); });
}

uint8_t sumOf(const QByteArray &bytes)
{
    uint8_t sum = 0;
    for (char c : bytes)
        sum = uint8_t(sum + uint8_t(c));
    return sum;
}

void checkDetection(const ProgrammerReply &reply, const QByteArray &taken, bool strict)
{
    const QByteArray date = taken.left(ProgrammerReply::DateLength);
    const bool digits = std::all_of(date.cbegin(), date.cend(), [](char c) { return c >= '0' && c <= '9'; });
    switch (reply.last()) {
    case Step::More:
        check(taken.size() < 10);
        break;
    case Step::NotDigits:
        check(strict && taken.size() == 8 && !digits);
        break;
    case Step::Complete: {
        check(taken.size() == 10 && (!strict || digits));
        check(HexText::HexStr2ToByte(taken.constData() + 8, 2) == sumOf(date));
        const QString shown = reply.firmwareDate();
        check(shown.size() == 10 && shown.at(2) == QLatin1Char('/') && shown.at(5) == QLatin1Char('/'));
        check(shown.toLatin1().remove(5, 1).remove(2, 1) == date);
        break;
    }
    case Step::BadChecksum:
        check(taken.size() == 10 && (!strict || digits));
        check(HexText::HexStr2ToByte(taken.constData() + 8, 2) != sumOf(date));
        break;
    default:
        check(false);
    }
}

void checkHex(const ProgrammerReply &reply, const QByteArray &taken, Kind kind)
{
    const int length = kind == Kind::HexByte ? 2 : 2 * ProgrammerReply::BlockSize + 2;
    switch (reply.last()) {
    case Step::More:
    case Step::Byte:
        check(taken.size() < length && allHex(taken));
        break;
    case Step::NotHex:
        check(!HexText::HEX(taken.back()) && allHex(taken.chopped(1)));
        break;
    case Step::Complete:
    case Step::BadChecksum:
        check(taken.size() == length && allHex(taken));
        break;
    default:
        check(false);
    }
    // The hex text received, whole pairs only (a refused byte is no digit).
    const QByteArray text = reply.last() == Step::NotHex ? taken.chopped(1) : taken;
    const QByteArray decoded = QByteArray::fromHex(text.left(text.size() / 2 * 2));
    if (kind == Kind::HexByte) {
        check(reply.last() != Step::BadChecksum && reply.data().isEmpty());
        if (reply.last() == Step::Complete)
            check(reply.value() == uint8_t(decoded.at(0)));
        return;
    }
    // Every whole pair before the sum is a data byte, in order.
    check(reply.data() == decoded.left(ProgrammerReply::BlockSize));
    if (reply.last() == Step::Complete || reply.last() == Step::BadChecksum)
        check((uint8_t(decoded.back()) == sumOf(reply.data())) == (reply.last() == Step::Complete));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static constexpr Kind Kinds[] = {Kind::Detection, Kind::StrictDetection, Kind::HexByte, Kind::ReadBlock};
    const Kind kind = Kinds[data[0] % 4];
    ProgrammerReply reply(kind);
    QByteArray taken;
    for (size_t i = 1; i < size; ++i) {
        const bool ended = reply.ended();
        const Step before = reply.last();
        const Step step = reply.feed(data[i]);
        if (ended) {
            // A reply that has its verdict takes nothing more.
            check(step == before && reply.taken() == taken.size());
            continue;
        }
        taken.append(char(data[i]));
        check(reply.taken() == taken.size() && step == reply.last());
        check((step == Step::Byte) == (kind == Kind::ReadBlock && reply.data().size() == (taken.size() + 1) / 2
                                       && taken.size() <= 2 * ProgrammerReply::BlockSize && taken.size() % 2 == 0));
    }
    if (kind == Kind::Detection || kind == Kind::StrictDetection)
        checkDetection(reply, taken, kind == Kind::StrictDetection);
    else
        checkHex(reply, taken, kind);
    return 0;
}
