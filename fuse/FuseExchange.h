#pragma once

#include "FuseLayout.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

class FuseView;
class ProgrammerLink;
struct SelectionState;

// The exchanges of the fuse editor with the programmer: the reads when the
// editor opens, the Read and Write buttons and the stop of a running
// exchange. Works on the device selected at the time of each call and shows
// everything through a FuseView.
//
// Only one exchange runs at a time: an entry made while one is under way
// (from a handler nested in a byte wait) is refused and does nothing.
class FuseExchange
{
public:
    FuseExchange(ProgrammerLink &link, const SelectionState &selection, FuseView &view);

    // An exchange is under way (a byte wait may be running nested in it).
    bool busy() const { return m_busy; }

    // Limit of every reply wait; ProgrammerLink::ReplyTimeoutMs unless a
    // test needs a wait that only a stop can end.
    void setReplyTimeoutMs(int ms) { m_replyTimeoutMs = ms; }

    // The editor was shown: caption, displays, captions of the device's
    // group, then the reads of its type.
    void activate();
    void readClick();
    void writeClick();
    // Exit/Cancle while busy: the waiting read asks the stop question.
    void requestStop();
    // The editor is going away: the running exchange ends as after a
    // confirmed stop, without asking, and no further read starts. The
    // exchange still sends its CAN before it returns.
    void abandon();
    // The editor closed.
    void formClose();

    // One byte from the device; true with the byte stored, false after a
    // failure (byte untouched, CAN sent, the failure on the result line).
    bool ReadMCUFuse(uint8_t &byte);
    bool ReadMCULock(uint8_t &byte);
    // The failure end of an exchange.
    void BreakFuse();

    static constexpr char NoChoiceText[] = "Choose Fuse Bit Before Write";

    // Asked before a chosen value goes out; false leaves the write (the
    // guard has told why): a record that cannot be kept stops it.
    std::function<bool()> mayWrite;
    // A write that went out: its value and whether it was verified.
    struct WriteOutcome
    {
        uint8_t value = 0;
        bool passed = false;
    };
    // The write of the last writeClick, once; none when nothing went out.
    std::optional<WriteOutcome> takeWrite() { return std::exchange(m_write, std::nullopt); }

private:
    struct ReadTexts
    {
        const char *waiting, *timeOut, *error, *complete;
    };

    bool readOne(const QString &command, const ReadTexts &texts, uint8_t &byte);
    // One reply byte; refused at once once the exchange is abandoned.
    bool readReply(uint8_t &byte);
    void enterExchange();
    void leaveExchange();
    void applyGroup();
    void show(FuseLayout::ByteKind kind, uint8_t value);
    QString typeCode() const;

    ProgrammerLink &m_link;
    const SelectionState &m_selection;
    FuseView &m_view;
    int m_replyTimeoutMs;
    bool m_busy = false;
    bool m_abandoned = false;
    bool m_waiting = false;
    std::optional<WriteOutcome> m_write;
};
