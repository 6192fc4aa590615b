#pragma once

#include <QByteArray>
#include <QString>

// A raw pseudo-terminal for tests that play the far end of the line by
// hand: the program opens slavePath(), the test reads and writes the master.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    void write(const QByteArray &bytes);
    // Reads until count bytes arrived or timeoutMs passed; returns them.
    QByteArray read(int count, int timeoutMs);
    // Everything that arrives within timeoutMs.
    QByteArray drain(int timeoutMs);
    // The size a program on the slave learns from TIOCGWINSZ.
    void setWindowSize(int columns, int rows = 24);
    // Whether someone set exclusive use (TIOCEXCL) on the slave.
    bool isExclusive() const;
    // Closes the master: the slave side hangs up as a pulled adapter does.
    void hangUp();

private:
    int m_master = -1;
    int m_slaveKeep = -1;
    QString m_slavePath;
};
