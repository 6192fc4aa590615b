#include "SerialWriteMark.h"

void SerialWriteMark::arm(SerialSource *source, quint64 number, uint16_t first, uint16_t last)
{
    m_source = source;
    m_number = number;
    m_first = first;
    m_last = last;
    m_written = false;
    m_error.clear();
}

bool SerialWriteMark::blockMayGo(uint16_t first, uint16_t last)
{
    if (!m_source || m_written || last < m_first || first > m_last)
        return true;
    // Marked before the send: a failed mark means nothing of the number left.
    if (!m_source->markWritten(m_number, &m_error))
        return false;
    m_written = true;
    return true;
}
