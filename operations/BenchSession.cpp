#include "BenchSession.h"

// Every set is told, changed or not, so that a view drawing from the
// signals shows the session again whatever was put in its fields.

void BenchSession::setPort(const QString &entry, const QString &path)
{
    m_portEntry = entry;
    m_portPath = path;
    emit portChanged(entry, path);
}

void BenchSession::setFirmwareDate(const QString &date)
{
    m_firmwareDate = date;
    emit firmwareDateChanged(date);
}

void BenchSession::setDevice(const QString &name)
{
    m_device = name;
    emit deviceChanged(name);
}

void BenchSession::setFileName(const QString &name)
{
    m_fileName = name;
    emit fileNameChanged(name);
}

void BenchSession::setChecksum(const QString &text)
{
    m_checksum = text;
    emit checksumChanged(text);
}

void BenchSession::setCounts(uint8_t success, uint8_t failure)
{
    m_success = success;
    m_failure = failure;
    emit countsChanged(success, failure);
}
