#include "BenchSession.h"

// Every set is told, changed or not, so that a view drawing from the
// signals shows the session again whatever was put in its fields.

namespace {

template <typename Signal>
void store(BenchSession *session, QString &field, const QString &value, Signal changed)
{
    field = value;
    emit (session->*changed)(value);
}

} // namespace

void BenchSession::setPort(const QString &entry, const QString &path)
{
    m_portEntry = entry;
    m_portPath = path;
    emit portChanged(entry, path);
}

void BenchSession::setFirmwareDate(const QString &date)
{
    store(this, m_firmwareDate, date, &BenchSession::firmwareDateChanged);
}

void BenchSession::setDevice(const QString &name)
{
    store(this, m_device, name, &BenchSession::deviceChanged);
}

void BenchSession::setFileName(const QString &name)
{
    store(this, m_fileName, name, &BenchSession::fileNameChanged);
}

void BenchSession::setChecksum(const QString &text)
{
    store(this, m_checksum, text, &BenchSession::checksumChanged);
}

void BenchSession::setCounts(uint8_t success, uint8_t failure)
{
    m_success = success;
    m_failure = failure;
    emit countsChanged(success, failure);
}
