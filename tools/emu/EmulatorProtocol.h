#pragma once

#include "EmulatorFault.h"
#include "ReceivedFrame.h"
#include "SimulatedDevice.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The programmer's side of the protocol as a state machine: bytes from the
// program go in, reply bytes come out. It does no I/O and no locking; the
// caller feeds it one byte at a time and puts the output on the line.
class EmulatorProtocol
{
public:
    // One thing to put on the line. `delayMs` holds back this item (and so
    // everything queued behind it).
    struct Output
    {
        enum class Kind { Byte, HangUp };
        Kind kind = Kind::Byte;
        uint8_t byte = 0;
        int delayMs = 0;
    };

    // What a BytesSent fault asks of the line after a byte went out.
    struct SentEffect
    {
        enum class Kind { None, Mute, HangUp, Stall };
        Kind kind = Kind::None;
        int delayMs = 0;
    };

    static constexpr int TypeCount = 8;
    static constexpr int BlockSize = 64;

    EmulatorProtocol();

    // Takes one byte from the program; appends the replies to `out`.
    void feed(uint8_t byte, qint64 timeNs, std::vector<Output> &out);

    // A byte has been put on the line: logs it and applies BytesSent faults.
    SentEffect noteSent(uint8_t byte);
    // Bytes that may still go out before a BytesSent fault fires (-1: any).
    qint64 sendableBeforeFault() const;
    bool muted() const { return m_muted; }

    bool setFirmwareDate(const QByteArray &date);
    QByteArray firmwareDate() const { return m_date; }
    void setLowerCaseHex(bool lower) { m_lowerCase = lower; }

    void addFault(const EmulatorFault &fault);
    void clearFaults();
    int pendingFaults() const { return int(m_faults.size() + m_sentFaults.size()); }

    static bool validType(int typeCode) { return typeCode >= 1 && typeCode <= TypeCount; }
    // Type codes outside 01-08 fall back to a scratch device nobody sees.
    SimulatedDevice &device(int typeCode);
    const SimulatedDevice &device(int typeCode) const;
    // The byte a fuse read reports (types 06h/07h carry lock bits 1, 2).
    uint8_t reportedFuse(int typeCode) const;
    // The byte a lock read reports (type 04h): lock bits 1, 2, 3 in bits
    // 2, 1, 0, 1 = not programmed.
    uint8_t reportedLock(int typeCode) const;

    QByteArray received() const { return m_received; }
    QByteArray sent() const { return m_sent; }
    QList<ReceivedFrame> frames() const { return m_frames; }
    int blocksReceived() const { return m_blocksReceived; }
    int blocksSent() const { return m_blocksSent; }
    void clearLog();

private:
    enum class State { Idle, FrameWord, FrameEtx, FrameSum, DetectionDc3, BlockIn, ReadNext };

    void endFrame(qint64 timeNs, std::vector<Output> &out);
    void dispatch(std::vector<Output> &out);
    void takeBlockChar(uint8_t byte, std::vector<Output> &out);
    void finishBlock(std::vector<Output> &out);
    void sendReadBlock(std::vector<Output> &out);

    // The first pending fault for this event under the current command;
    // removed from the list (used up). Null when none matches.
    std::optional<EmulatorFault> takeFault(EmulatorFault::Event event, int index = -1);
    // Sends `reply` unless `fault` replaces it. False when the exchange was
    // dropped (silence, hang-up, garbage, NAK).
    bool send(const std::optional<EmulatorFault> &fault, const QByteArray &reply, std::vector<Output> &out);
    void reply(uint8_t byte, std::vector<Output> &out);
    QByteArray hex2(uint8_t value) const;
    QByteArray hex4(uint16_t value) const;
    void nakWithAddress(uint16_t address, std::vector<Output> &out);

    std::array<SimulatedDevice, TypeCount + 1> m_devices;
    QByteArray m_date;
    bool m_lowerCase = false;

    struct SentFault
    {
        EmulatorFault fault;
        qint64 base;
    };
    std::vector<EmulatorFault> m_faults;
    std::vector<SentFault> m_sentFaults;
    bool m_muted = false;

    State m_state = State::Idle;
    QByteArray m_word;
    QByteArray m_sum;
    qint64 m_frameStart = 0;
    int m_command = -1;
    int m_type = 0;
    uint16_t m_param = 0;
    int m_block = 0;
    uint16_t m_blockStart = 0;
    QByteArray m_blockChars;

    QByteArray m_received;
    QByteArray m_sent;
    qint64 m_sentTotal = 0;
    QList<ReceivedFrame> m_frames;
    int m_blocksReceived = 0;
    int m_blocksSent = 0;
};
