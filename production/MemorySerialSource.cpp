#include "MemorySerialSource.h"

MemorySerialSource::MemorySerialSource(quint64 first, quint64 step)
    : m_state(first, step)
{
}

std::optional<quint64> MemorySerialSource::peek(QString *error)
{
    const std::optional<quint64> number = m_state.peek();
    if (!number)
        *error = SerialState::exhaustedText();
    return number;
}

std::optional<quint64> MemorySerialSource::reserve(QString *error)
{
    const std::optional<quint64> number = m_state.reserve(BenchIdentity(), 0);
    if (!number)
        *error = SerialState::exhaustedText();
    return number;
}

bool MemorySerialSource::commit(quint64 number, QString *)
{
    m_state.commit(number);
    return true;
}

bool MemorySerialSource::release(quint64 number, QString *)
{
    m_state.release(number);
    return true;
}

bool MemorySerialSource::markWritten(quint64 number, QString *)
{
    m_state.markWritten(number);
    return true;
}

bool MemorySerialSource::retire(quint64 number, const QString &reason, QString *)
{
    m_state.retire(number, reason);
    return true;
}
