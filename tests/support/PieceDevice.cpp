#include "PieceDevice.h"

#include <algorithm>
#include <cstring>

PieceDevice::PieceDevice(QByteArray bytes, qint64 piece)
    : m_bytes(std::move(bytes))
    , m_piece(piece)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 PieceDevice::readData(char *data, qint64 maxSize)
{
    const qint64 n = std::min({maxSize, m_piece, qint64(m_bytes.size()) - m_pos});
    std::memcpy(data, m_bytes.constData() + m_pos, size_t(n));
    m_pos += n;
    return n;
}
