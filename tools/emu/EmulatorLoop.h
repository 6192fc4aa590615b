#pragma once

#include "EmulatorProtocol.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

// The line side of the emulator: the pseudo-terminal (or device), the
// protocol thread with its poll loop, and pacing at the line rate. The
// protocol state is shared with the caller's thread under `mutex`.
class EmulatorLoop
{
public:
    EmulatorLoop();
    ~EmulatorLoop();

    bool start(QString *error);
    void stop();
    void hangUp();
    // Adds `bytes` filler bytes to put on the line (see ProgrammerEmulator).
    void flood(qint64 bytes);

    // Guards everything below and `protocol`; `changed` is notified after
    // every byte taken or sent.
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    EmulatorProtocol protocol;
    QString devicePath;
    QString slavePath;
    std::atomic<bool> paced = false;
    bool running = false;
    bool hungUp = false;
    qint64 floodLeft = 0;

private:
    struct RxByte
    {
        uint8_t byte;
        qint64 readyNs;
    };
    struct TxItem
    {
        EmulatorProtocol::Output::Kind kind;
        uint8_t byte;
        qint64 notBeforeNs;
    };

    bool openPty(QString *error);
    bool openDevice(QString *error);
    void run();
    void takeDueInput(qint64 now);
    // Writes what is due; returns false when the line would block.
    bool writeDue(qint64 now);
    bool writeFlood();
    qint64 nextTxTime() const;
    void readLine(qint64 now);
    void closeLine();
    void wake();
    qint64 nowNs() const;

    int m_line = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
    bool m_stopRequested = false;
    bool m_hangUpRequested = false;
    qint64 m_origin = 0;

    // Only the protocol thread touches these.
    std::deque<RxByte> m_rx;
    std::deque<TxItem> m_tx;
    qint64 m_rxLineFree = 0;
    qint64 m_txLineFree = 0;
    qint64 m_txHold = 0;
    bool m_txBlocked = false;
};
