#pragma once

#include <QIODevice>

// Hands out at most `piece` bytes per read, as a slow disk or a pipe may, so
// that lines and CR LF pairs are split across reads.
class PieceDevice : public QIODevice
{
public:
    PieceDevice(QByteArray bytes, qint64 piece);

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_piece;
    qint64 m_pos = 0;
};
