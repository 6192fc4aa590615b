#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>

class QSerialPort;

// The one serial port of the program: port numbers 1-4 ("Com1".."Com4"),
// fixed line settings (19200 8N1, no flow control, DTR and RTS raised) and
// the byte operations the protocol is built from. None of them blocks.
//
// Port numbers map to devices as ComPortMap says, over the ports the system
// lists at the moment of the open.
class ComPort : public QObject
{
    Q_OBJECT
public:
    // Room of the send queue, and the most received bytes kept unread:
    // bytes arriving while that many wait are dropped, as a serial driver's
    // full receive queue drops them, so a line that keeps sending cannot
    // grow the program.
    static constexpr int BufferSize = 4096;

    explicit ComPort(QObject *parent = nullptr);
    ~ComPort() override;

    // The device a port number stands for now, "" when there is none.
    static QString deviceName(int comNumber);
    // Opens a device path directly instead of a port number (tools).
    void setDevicePath(const QString &path);

    uint16_t comNumber() const { return m_comNumber; }
    // The device the last open went to: the mapping may have changed since.
    QString openedPath() const { return m_openedPath; }
    // Same number: nothing. Closed: only records it. Open: closes, records,
    // reopens; false (with errorString()) when the reopen fails.
    bool setComNumber(uint16_t number);

    bool isOpen() const;
    // Already open: true. Otherwise opens with the line settings; false on
    // failure, with the operator's text in errorString():
    // "ie_BadId - Specified comport doesn't exist" for a missing port,
    // "ie_Open - device already open" for a port held by another program,
    // the system's own text for anything else (such as "Permission denied").
    bool open();
    QString errorString() const { return m_errorString; }
    void close();

    // With nothing unread, first takes in what the port received meanwhile.
    bool ByteWaiting();
    uint8_t ReadOneByte();
    // Received bytes dropped because BufferSize bytes were waiting, since
    // the port was opened.
    qint64 droppedBytes() const { return m_dropped; }
    void WriteText(const QByteArray &text);
    // The last byte handed to WriteText since the port was opened or its
    // output discarded (0: none).
    char lastWritten() const { return m_lastWritten; }
    int OutputRoom() const;
    void DiscardInput();
    void DiscardOutput();

    // Pushes queued bytes onto the line now (they otherwise leave only when
    // the event loop runs), waiting at most timeoutMs.
    void flush(int timeoutMs = 100);

    // True when the port went away (adapter pulled, pty hung up); the port
    // is then closed, and stays reported as lost until the next open.
    // Cheap enough to call on every pass of a wait.
    bool checkLost();

signals:
    // The port was found gone and has been closed.
    void lost();

private:
    void onError(int error);
    void closeLost();
    void takeReceived(bool restartReading = false);
    void clearReceived();

    QSerialPort *m_port;
    uint16_t m_comNumber = 0;
    QString m_devicePath;
    QString m_openedPath;
    QString m_errorString;
    bool m_lostFlag = false;
    bool m_closeScheduled = false;
    // Received and not yet read: m_received[m_readAt, m_receivedEnd). A
    // fixed array: taking bytes in never allocates.
    std::array<char, BufferSize> m_received;
    int m_readAt = 0;
    int m_receivedEnd = 0;
    qint64 m_dropped = 0;
    char m_lastWritten = 0;
};
