#pragma once

#include "EmulatorFault.h"
#include "ReceivedFrame.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

class EmulatorProtocol;
class EmulatorLoop;

// The programmer unit on the far end of a serial line, for tests and for
// running the program without hardware. It opens a pseudo-terminal (or a
// given device), answers every exchange of the protocol byte for byte, keeps
// one simulated device per type code (01-08) and logs what it received.
// Its protocol loop runs in a thread of its own, so a test may block in the
// program's waits on its own thread. Every method is thread-safe.
//
// Typical use:
//   ProgrammerEmulator emu;
//   emu.start();
//   port.setDevicePath(emu.slavePath());
class ProgrammerEmulator
{
public:
    // Line time of one byte at 19200 baud, 8N1 (10 bits).
    static constexpr qint64 ByteTimeNs = 520833;
    static constexpr const char *DefaultFirmwareDate = "15082003";

    ProgrammerEmulator();
    ~ProgrammerEmulator();
    ProgrammerEmulator(const ProgrammerEmulator &) = delete;
    ProgrammerEmulator &operator=(const ProgrammerEmulator &) = delete;

    // --- Set-up (before start()) ---
    // Use this tty device instead of a new pseudo-terminal; it is put in raw
    // mode at 19200 baud.
    void setDevicePath(const QString &path);

    // Opens the line and starts the protocol thread. False with a reason in
    // *error when the line cannot be opened. A second start() does nothing.
    bool start(QString *error = nullptr);
    // Ends the protocol thread and closes the line. Also done by the
    // destructor.
    void stop();
    bool isRunning() const;
    // The device the program opens: the pty slave (such as /dev/pts/7), or
    // the path given to setDevicePath().
    QString slavePath() const;

    // Closes the line as pulling a USB adapter would: the program's port
    // sees a hang-up. Returns once it is closed; the emulator stays silent
    // from then on.
    void hangUp();
    bool hungUp() const;

    // Puts `bytes` filler bytes ('U') on the line, after any reply under
    // way, as fast as the program's side takes them: a unit or a line that
    // keeps sending. Neither paced nor logged, nor seen by the protocol.
    void flood(qint64 bytes);
    // Filler bytes not yet taken by the line.
    qint64 floodLeft() const;

    // --- Options (any time) ---
    // The eight characters sent as the firmware date (DDMMYYYY, no
    // separators). Default 15082003, a date on which every device is served.
    // False (nothing changed) unless the date has exactly eight characters.
    bool setFirmwareDate(const QByteArray &date);
    QByteArray firmwareDate() const;
    // Pace both directions at the line rate: a byte from the program is
    // taken only one byte time after the one before it, and bytes sent are
    // at least one byte time apart.
    void setPaced(bool paced);
    bool paced() const;
    // Hex digits of replies (date checksum, read blocks, fuse and lock
    // bytes) in lower case.
    void setLowerCaseHex(bool lower);
    // Put this catalogue device in the socket: the flash of its type code
    // is sized to its end (erased). False for an unknown name.
    bool setSocketDevice(const QString &deviceName);

    // --- Faults ---
    void addFault(const EmulatorFault &fault);
    void clearFaults();
    // Faults not yet used up.
    int pendingFaults() const;

    // --- Simulated devices, by type code 01h-08h ---
    QByteArray flash(uint8_t typeCode) const;
    int flashSize(uint8_t typeCode) const;
    // Erased flash of `size` bytes (1..65536).
    void setFlashSize(uint8_t typeCode, int size);
    // Writes `data` at `offset`; bytes past the flash end are dropped.
    void setFlash(uint8_t typeCode, const QByteArray &data, int offset = 0);
    // Bit 0 = lock bit 1, bit 1 = lock bit 2, bit 2 = lock bit 3 (programmed).
    uint8_t lockBits(uint8_t typeCode) const;
    void setLockBits(uint8_t typeCode, uint8_t bits);
    // The fuse byte as stored. Types 06h and 07h report lock bits 1 and 2 in
    // bits 7 and 6 of the byte they send (0 = programmed).
    uint8_t fuseByte(uint8_t typeCode) const;
    void setFuseByte(uint8_t typeCode, uint8_t value);

    // --- Observation ---
    // Every byte received from the program, and every byte put on the line.
    QByteArray received() const;
    QByteArray sent() const;
    QList<ReceivedFrame> frames() const;
    // The words of the frames whose checksum matched, in order.
    QStringList commandWords() const;
    int frameCount() const;
    // Data blocks taken in program/verify, and sent in read.
    int blocksReceived() const;
    int blocksSent() const;
    void clearLog();

    // Blocks the calling thread until `condition` holds or timeoutMs passed;
    // the condition is re-checked whenever the emulator receives or sends.
    // Never call it on a thread whose event loop the emulator's peer needs.
    bool waitFor(const std::function<bool()> &condition, int timeoutMs) const;

private:
    std::unique_ptr<EmulatorLoop> m_loop;
};
