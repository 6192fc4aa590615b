#include "FuseExchange.h"

#include "FuseView.h"
#include "ProgrammerLink.h"
#include "ProgrammerReply.h"
#include "Prompter.h"
#include "SelectionState.h"

using FuseLayout::ByteKind;
using FuseLayout::Target;

namespace {

constexpr char CaptionPrefix[] = "Display & Program Fuse...";
constexpr char CanNotRead[] = "Can Not Read Fuse";
constexpr char ReadFuseComplete[] = "Read Fuse Complete";

class EntryScope
{
public:
    EntryScope(bool &busy, bool &abandoned) : m_busy(busy)
    {
        m_busy = true;
        abandoned = false;
    }
    ~EntryScope() { m_busy = false; }

private:
    bool &m_busy;
};

class WaitScope
{
public:
    explicit WaitScope(bool &waiting) : m_waiting(waiting) { m_waiting = true; }
    ~WaitScope() { m_waiting = false; }

private:
    bool &m_waiting;
};

QString text(const char *literal)
{
    return QString::fromLatin1(literal);
}

} // namespace

FuseExchange::FuseExchange(ProgrammerLink &link, const SelectionState &selection, FuseView &view)
    : m_link(link)
    , m_selection(selection)
    , m_view(view)
    , m_replyTimeoutMs(ProgrammerLink::ReplyTimeoutMs)
{
}

QString FuseExchange::typeCode() const
{
    return m_selection.SelectedDevice.TypeCode;
}

void FuseExchange::enterExchange()
{
    m_view.setReadWriteEnabled(false);
    m_view.setExitCaption(QStringLiteral("Cancle"));
    m_view.focusExit();
    m_link.clearRequests();
}

void FuseExchange::leaveExchange()
{
    m_view.setReadWriteEnabled(true);
    m_view.setExitCaption(QStringLiteral("Exit"));
}

bool FuseExchange::readReply(uint8_t &byte)
{
    if (m_abandoned)
        return false;
    const WaitScope waiting(m_waiting);
    return m_link.ReadByte(byte, m_replyTimeoutMs);
}

bool FuseExchange::readOne(const QString &command, const ReadTexts &texts, uint8_t &byte)
{
    if (m_abandoned)
        return false;
    enterExchange();
    m_view.setResult(text(texts.waiting));

    // A frame cut short by a stop gets no reply: fail as the wait would.
    if (!m_link.SendCommand(command)) {
        m_view.setResult(text(texts.timeOut));
        BreakFuse();
        return false;
    }
    ProgrammerReply reply(ProgrammerReply::Kind::HexByte);
    while (!reply.ended()) {
        uint8_t received = 0;
        if (!readReply(received)) {
            m_view.setResult(text(texts.timeOut));
            BreakFuse();
            return false;
        }
        if (reply.feed(received) == ProgrammerReply::Step::NotHex) {
            m_view.setResult(text(texts.error));
            BreakFuse();
            return false;
        }
    }
    m_view.setResult(text(texts.complete));
    byte = reply.value();
    leaveExchange();
    return true;
}

bool FuseExchange::ReadMCUFuse(uint8_t &byte)
{
    static constexpr ReadTexts texts{"Waiting to Read Fuse", "Read Fuse Time-Out", "Read Fuse Error",
                                     ReadFuseComplete};
    return readOne(FuseLayout::readFuseCommand(typeCode()), texts, byte);
}

bool FuseExchange::ReadMCULock(uint8_t &byte)
{
    static constexpr ReadTexts texts{"Waiting to Read Lock Bit", "Read Lock Time-Out", "Read Lock Error",
                                     "Read Lock Complete"};
    return readOne(FuseLayout::readLockCommand(typeCode()), texts, byte);
}

void FuseExchange::BreakFuse()
{
    m_link.port().DiscardInput();
    m_link.port().DiscardOutput();
    // The exchange has failed already: a Cancle still pending must not ask
    // its question here, where Yes would keep the CAN off the line.
    m_link.dropStopRequest();
    m_link.SendByte(Ctl::CAN);
    leaveExchange();
    m_view.focusExit();
}

void FuseExchange::show(ByteKind kind, uint8_t value)
{
    for (const FuseLayout::Reading &r : FuseLayout::decode(typeCode(), kind, value)) {
        m_view.setDisplay(r.target, FuseLayout::bitText(r.bit));
        if (r.target == Target::Fuse1 || r.target == Target::Fuse2)
            m_view.setChoice(r.target, r.bit);
    }
}

void FuseExchange::applyGroup()
{
    const auto group = FuseLayout::deviceGroup(m_selection.SelectedDevice.DeviceName);
    if (!group)
        return;
    m_view.setFuseName(Target::Fuse1, group->fuse1Name);
    m_view.setFuseName(Target::Fuse2, text(FuseLayout::Fuse2Name));
    m_view.setFuse1Enabled(group->fuse1Enabled);
    if (!group->fuse1Present)
        m_view.setDisplay(Target::Fuse1, text(FuseLayout::NotPresentText));
    if (!group->lock3Present)
        m_view.setDisplay(Target::Lock3, text(FuseLayout::NotPresentText));
}

void FuseExchange::activate()
{
    if (m_busy)
        return;
    const EntryScope entry(m_busy, m_abandoned);

    m_view.setCaption(text(CaptionPrefix) + m_selection.SelectedDevice.DeviceName);
    m_link.clearRequests();
    leaveExchange();
    for (Target t : {Target::Fuse1, Target::Fuse2, Target::Lock1, Target::Lock2, Target::Lock3})
        m_view.setDisplay(t, QString());
    applyGroup();

    const QString type = typeCode();
    uint8_t value = 0;
    if (FuseLayout::hasLockByte(type)) {
        if (ReadMCUFuse(value))
            show(ByteKind::Fuse, value);
        if (ReadMCULock(value)) {
            show(ByteKind::Lock, value);
            m_view.setResult(text(ReadFuseComplete));
        }
    } else if (!FuseLayout::bitFields(type).empty()) {
        if (ReadMCUFuse(value))
            show(ByteKind::Fuse, value);
    }
    m_view.focusExit();
}

void FuseExchange::readClick()
{
    if (m_busy)
        return;
    const EntryScope entry(m_busy, m_abandoned);

    m_view.focusExit();
    const QString type = typeCode();
    if (FuseLayout::bitFields(type).empty())
        return;
    uint8_t value = 0;
    if (FuseLayout::hasLockByte(type)) {
        if (ReadMCULock(value))
            show(ByteKind::Lock, value);
        else
            m_view.setResult(text(CanNotRead));
    }
    if (!ReadMCUFuse(value)) {
        m_view.setResult(text(CanNotRead));
        return;
    }
    show(ByteKind::Fuse, value);
    m_view.setResult(text(ReadFuseComplete));
    m_link.SendByte(Ctl::ENQ);
    m_view.focusExit();
}

void FuseExchange::writeClick()
{
    if (m_busy)
        return;
    const EntryScope entry(m_busy, m_abandoned);

    const QString type = typeCode();
    // A value the operator never chose must not reach the device.
    const auto value =
        FuseLayout::writeValue(type, m_view.choice(Target::Fuse1), m_view.choice(Target::Fuse2));
    if (!value) {
        m_link.prompter().warning(text(NoChoiceText));
        return;
    }
    if (mayWrite && !mayWrite())
        return;

    enterExchange();
    m_write = WriteOutcome{*value, false};
    m_view.setResult(QStringLiteral("Waiting to Write Fuse"));
    uint8_t reply = 0;
    if (!m_link.SendCommand(FuseLayout::writeFuseCommand(*value, type)) || !readReply(reply)) {
        m_view.setResult(QStringLiteral("Program Fuse Time-Out"));
        BreakFuse();
        return;
    }
    if (ProgrammerReply::answer(reply, Ctl::ACK) != ProgrammerReply::Answer::Expected) {
        m_view.setResult(QStringLiteral("Program Fuse Error"));
        BreakFuse();
        return;
    }

    m_view.setResult(QStringLiteral("Waiting to Verify Fuse"));
    uint8_t read = 0;
    if (FuseLayout::hasLockByte(type)) {
        if (ReadMCULock(read))
            show(ByteKind::Lock, read);
        else
            m_view.setResult(text(CanNotRead));
    }
    const bool fuseRead = ReadMCUFuse(read);
    if (fuseRead)
        show(ByteKind::Fuse, read);
    else
        m_view.setResult(text(CanNotRead));

    if (fuseRead && FuseLayout::readBackValue(type, read) == *value) {
        m_view.setResult(QStringLiteral("Program Fuse Complete"));
        m_write->passed = true;
        m_link.SendByte(Ctl::ENQ);
        m_view.focusExit();
        leaveExchange();
        return;
    }
    m_view.setResult(QStringLiteral("Verify Fuse Error"));
    m_link.prompter().error(QStringLiteral("Write Fuse Error"));
    BreakFuse();
}

void FuseExchange::requestStop()
{
    if (m_busy)
        m_link.requestStop();
}

void FuseExchange::abandon()
{
    if (!m_busy)
        return;
    m_abandoned = true;
    // No stop question: the operator already chose to leave.
    m_link.dropStopRequest();
    m_link.requestAbort();
    if (m_waiting)
        m_link.cancelWait();
}

void FuseExchange::formClose()
{
    m_link.clearRequests();
    m_view.setReadWriteEnabled(true);
}
