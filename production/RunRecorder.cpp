#include "RunRecorder.h"

#include "BenchSession.h"
#include "MemoryBuffer.h"
#include "DeviceCommand.h"
#include "SelectionState.h"
#include "TarvoVersion.h"

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
    m_record.version = QStringLiteral(TARVO_VERSION_STRING);
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

DeviceRecord RunRecorder::single(const QString &command, const QString &text, bool passed)
{
    begin();
    m_record.commands << command;
    addOutcome(text, passed);
    m_record.successCount = m_success;
    m_record.failureCount = m_failure;
    return finish();
}

void RunRecorder::runStarted(const DeviceCommand &command)
{
    if (!m_started || onRecord)
        begin();
    // tarvo-cli's names: one vocabulary in every record.
    m_record.commands << QString(command.name);
}

void RunRecorder::runEnded(const RunEnd &end)
{
    if (!m_started)
        return;
    for (const QString &text : end.lines)
        if (!text.isEmpty())
            m_record.outcome << text;
    m_record.passed = m_record.passed && end.outcome == RunState::Passed;
    countsChanged(end.counts);
    m_record.successCount = m_success;
    m_record.failureCount = m_failure;
    if (onRecord)
        onRecord(finish());
}

void RunRecorder::countsChanged(RunCounts counts)
{
    if (m_started) {
        // In a run the counters only step on; the difference modulo 256
        // carries them past 255 (where 255 and 0 become 0 and 0).
        m_success += uint8_t(counts.success - m_lastCounts.success);
        m_failure += uint8_t(counts.failure - m_lastCounts.failure);
    } else {
        // Set between runs: the operator's reset.
        m_success = counts.success;
        m_failure = counts.failure;
    }
    m_lastCounts = counts;
}

void RunRecorder::describeBench(const BenchSession &session, DeviceRecord &record)
{
    record.portEntry = session.portEntry();
    record.portPath = session.portPath();
    record.biosCode = session.firmwareDate();
    record.device = session.device();
    record.fileName = session.fileName();
    record.bufferChecksum = session.checksum();
}
