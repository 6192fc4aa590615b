#pragma once

#include "ComPort.h"
#include "ControlBytes.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>

class Prompter;

// The byte-level protocol with the programmer: sending with the stop
// handshake, reply waits against the reply timer, command frames and the
// hardware detection. Every wait keeps this order of checks on each pass:
// pending events, the stop question, a lost port, a byte (or room to send),
// the time-out; between passes it blocks in the event loop until an event,
// a received byte or the timer wakes it, so a wait never spins a core.
class ProgrammerLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int ReplyTimeoutMs = 1500;

    explicit ProgrammerLink(Prompter &prompter, QObject *parent = nullptr);

    ComPort &port() { return m_port; }
    Prompter &prompter() { return m_prompter; }

    // The flags the command framework and the fuse editor share. Only the
    // link changes them, through the requests below.
    bool StopRequested() const { return m_stopRequested; }
    bool AbortRequested() const { return m_abortRequested; }
    bool TimeoutElapsed() const { return m_timeoutElapsed; }
    bool HardwareFound() const { return m_hardwareFound; }
    // Checksum of the last frame sent, or of the block being sent.
    uint8_t CommandChecksum() const { return m_commandChecksum; }
    // The reply timer: one-shot, started by ReadByte.
    const QTimer &Timer1() const { return m_timer1; }

    // The operator asked to stop: the next wait asks the stop question.
    void requestStop() { m_stopRequested = true; }
    // A stop still pending is dropped unasked (the exchange has ended
    // already, or its last byte must go out).
    void dropStopRequest() { m_stopRequested = false; }
    // Leave without asking: the waiting command ends as after a confirmed
    // stop.
    void requestAbort() { m_abortRequested = true; }
    // A new command or exchange starts with no request pending.
    void clearRequests()
    {
        m_stopRequested = false;
        m_abortRequested = false;
    }
    // The programmer on the port is no longer known (a port changed).
    void forgetHardware() { m_hardwareFound = false; }
    // For a link whose programmer is known to be there without a detection:
    // tests and benchmarks on the emulator.
    void assumeHardwareFound() { m_hardwareFound = true; }

    // Port closed: "Comport Not Found" and nothing sent. Otherwise waits for
    // room to send; false when a confirmed stop (or a lost port, or the
    // program closing) ended the wait and the character was not sent.
    bool SendByte(char c);
    // One byte as two upper-case hex characters, high digit first; false as
    // soon as one of them could not be sent.
    bool SendWord(uint8_t value);
    // Waits at most timeoutMs for one byte. False (byte 0) on time-out, a
    // confirmed stop, a lost port or the program closing.
    bool ReadByte(uint8_t &byte, int timeoutMs);
    // CAN, 100 ms pause, discards, STX, the eight characters, ETX, checksum.
    // A closed port: nothing sent, no message. False when a character of the
    // frame could not be sent (a confirmed stop, a lost port): the frame is
    // incomplete and the caller should not wait for a reply.
    bool SendCommand(const QString &word);
    // The 64 data bytes of a block go out with SendWord after this; the
    // checksum is known first and sent by SendBlockChecksum.
    void StartBlock(uint8_t checksum) { m_commandChecksum = checksum; }
    bool SendBlockChecksum() { return SendWord(m_commandChecksum); }
    // Hardware detection. Sets HardwareFound and returns the firmware date
    // as "dd/mm/yyyy" on success; reports "Hardware Not Found" and returns
    // nothing on failure. A detection started while another one waits is
    // refused: nothing happens and nothing is returned.
    std::optional<QString> ReadVersion();
    bool detecting() const { return m_detecting; }
    // For a search over ports that may hold other devices: a reply is taken
    // as a firmware date only when its eight characters are digits, so a
    // chattering device gets nothing but the frame and the CAN, never the
    // DC3, even when its bytes happen to match the checksum. A port that
    // does not answer is then the search's to report: no error box.
    void setStrictDetection(bool strict) { m_strictDetection = strict; }

    // Waits for the operator (Run, Exit) without a deadline: returns after
    // at least one batch of events was processed; blocks until one comes.
    // While the program closes it returns at once with AbortRequested set.
    void waitForEvents();

    // Ends the wait in progress (or, when none is, the next one) as a
    // confirmed stop would, without asking: for an exchange the operator has
    // already chosen to leave, as by closing its dialog.
    void cancelWait() { m_cancelWait = true; }

    static const QString StopQuestion;

    // The main window is closing: every wait ends at once as after a
    // confirmed stop, without asking and without message boxes; sends still
    // go out (the final CAN).
    void requestShutdown();
    bool shuttingDown() const { return m_shutdown; }

    static uint8_t frameChecksum(const QString &word);

public slots:
    void Timer1Timer();

signals:
    // Connection texts for the status bar.
    void statusText(const QString &text);

private:
    // Stop question after a batch of events: true when the wait must end.
    bool stopConfirmed();

    Prompter &m_prompter;
    ComPort m_port;
    bool m_detecting = false;
    bool m_strictDetection = false;
    bool m_shutdown = false;
    bool m_cancelWait = false;
    bool m_stopRequested = false;
    bool m_abortRequested = false;
    bool m_timeoutElapsed = false;
    bool m_hardwareFound = false;
    uint8_t m_commandChecksum = 0;
    QTimer m_timer1;
};
