#include "RunRecorder.h"

#include "MemoryBuffer.h"
#include "DeviceCommand.h"
#include "SelectionState.h"

#include <QCryptographicHash>
#include <QSysInfo>

RunRecorder::RunRecorder(const MemoryBuffer &buffer, const SelectionState &selection)
    : m_buffer(buffer)
    , m_selection(selection)
{
}

QString RunRecorder::imageHash(const MemoryBuffer &buffer, uint16_t last)
{
    const QByteArrayView image(reinterpret_cast<const char *>(buffer.data()), qsizetype(last) + 1);
    return QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
}

void RunRecorder::begin()
{
    m_record = DeviceRecord();
    m_record.time = QDateTime::currentDateTime();
    m_record.host = QSysInfo::machineHostName();
    m_record.passed = true;
    m_timer.start();
    m_started = true;
}

void RunRecorder::addOutcome(const QString &text, bool passed)
{
    if (!m_started)
        begin();
    m_record.outcome << text;
    m_record.passed = m_record.passed && passed;
}

DeviceRecord RunRecorder::finish()
{
    if (!m_started)
        begin();
    m_started = false;
    const uint16_t last = m_selection.SelectedDevice.deviceEnd();
    m_record.imageSha256 = imageHash(m_buffer, last);
    m_record.durationMs = m_timer.elapsed();
    if (describe)
        describe(m_record);
    return m_record;
}

void RunRecorder::runStarted(const DeviceCommand &command)
{
    if (!m_started || onRecord)
        begin();
    m_record.commands << command.texts().caption.trimmed();
}

void RunRecorder::runEnded(const RunEnd &end)
{
    if (!m_started)
        return;
    for (const QString &text : end.lines)
        if (!text.isEmpty())
            m_record.outcome << text;
    m_record.passed = m_record.passed && end.outcome == RunState::Passed;
    m_record.successCount = end.counts.success;
    m_record.failureCount = end.counts.failure;
    if (onRecord)
        onRecord(finish());
}
