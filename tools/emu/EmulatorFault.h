#pragma once

#include <QByteArray>
#include <cstdint>

// A fault the emulator injects at a protocol event instead of its normal
// behaviour. Each fault fires once, at the first event that matches it, and
// is then used up.
struct EmulatorFault
{
    enum class Event {
        // The N-th byte sent (counted from when the fault was added; N in
        // `index`). Actions: Silence (nothing more is sent until the faults
        // are cleared), HangUp (right after that byte), Delay (a stall of
        // delayMs after that byte).
        BytesSent,
        // The date and checksum answering "0D......".
        DetectionReply,
        // The ACK that answers DC3 after the date.
        DetectionAck,
        // The one reply byte of erase, blank check, lock, fuse write, and the
        // NAK of a refused command.
        CommandReply,
        // The DC1 of program/verify asking for block `index` (0 = the one
        // right after the frame).
        BlockRequest,
        // Block `index` of program/verify, once received. Actions: WrongData
        // (program stores byte `offset` altered; verify reports it as a
        // mismatch).
        BlockReceived,
        // Block `index` (130 characters) of a read.
        ReadBlock,
        // The reply to DC3 at the end of program, verify or read.
        FinalReply,
        // The two characters answering a fuse read ("09").
        FuseReply,
        // The two characters answering a lock read ("08").
        LockReply,
    };

    enum class Action {
        // The reply is not sent and the exchange is dropped (the emulator
        // waits for the next frame).
        Silence,
        // The emulator disappears: its end of the line is closed.
        HangUp,
        // The reply goes out delayMs later; everything after it waits too.
        Delay,
        // `byte` is sent instead of the reply; the exchange is dropped.
        Garbage,
        // NAK and `report` are sent instead of the reply; exchange dropped.
        Nak,
        // DetectionReply, ReadBlock: the checksum sent is one too high.
        WrongChecksum,
        // DetectionReply, ReadBlock, FuseReply, LockReply: the character at
        // `offset` of the reply is replaced by 'G'.
        NonHex,
        // ReadBlock: data byte `offset` is sent altered (bits inverted) with
        // a checksum that matches what is sent. BlockReceived: see there.
        WrongData,
        // FuseReply, LockReply: `byte` is reported instead of the value held.
        Value,
    };

    Event event = Event::CommandReply;
    Action action = Action::Silence;
    // Only frames with this command code (01h program, 05h erase, ...);
    // -1 matches every command.
    int command = -1;
    // Block index, or byte count for BytesSent; -1 matches every block.
    int index = -1;
    int offset = 0;
    int delayMs = 0;
    uint8_t byte = 0;
    QByteArray report;

    static EmulatorFault at(Event event, Action action, int index = -1)
    {
        EmulatorFault f;
        f.event = event;
        f.action = action;
        f.index = index;
        return f;
    }
    EmulatorFault &forCommand(int code) { command = code; return *this; }
    EmulatorFault &withDelay(int ms) { delayMs = ms; return *this; }
    EmulatorFault &withByte(uint8_t b) { byte = b; return *this; }
    EmulatorFault &withReport(const QByteArray &r) { report = r; return *this; }
    EmulatorFault &withOffset(int o) { offset = o; return *this; }
};
