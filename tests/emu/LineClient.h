#pragma once

#include <QByteArray>
#include <QString>

// The program's end of the line, with plain POSIX calls: opens a tty
// without changing its settings, writes, and reads with a time limit.
class LineClient
{
public:
    explicit LineClient(const QString &path);
    ~LineClient();
    LineClient(const LineClient &) = delete;
    LineClient &operator=(const LineClient &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    bool write(const QByteArray &bytes);
    // Reads until `count` bytes came or timeoutMs passed.
    QByteArray read(int count, int timeoutMs);
    // True once the far end has hung up (poll reports POLLHUP/POLLERR).
    bool waitHangUp(int timeoutMs);

    // A command frame as the program puts it on the line (without its pause).
    static QByteArray frame(const char *word);
    // One 64-byte block as 128 hex characters and its checksum.
    static QByteArray block(const QByteArray &data64);

private:
    int m_fd = -1;
};
