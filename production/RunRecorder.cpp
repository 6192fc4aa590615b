#include "RunRecorder.h"

#include "MemoryBuffer.h"
#include "RunView.h"
#include "SelectionState.h"

#include <QCryptographicHash>
#include <QSysInfo>

namespace {
constexpr int StatusLines = 6;
}

RunRecorder::RunRecorder(const RunView &view, const MemoryBuffer &buffer, const SelectionState &selection)
    : m_view(view)
    , m_buffer(buffer)
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

void RunRecorder::runStarted(const QString &caption)
{
    if (!m_started || onRecord)
        begin();
    m_record.commands << caption.trimmed();
}

void RunRecorder::runEnded(bool passed, uint8_t successCount, uint8_t failureCount)
{
    if (!m_started)
        return;
    for (int line = 1; line <= StatusLines; ++line) {
        const QString text = m_view.statusLine(line);
        if (!text.isEmpty())
            m_record.outcome << text;
    }
    m_record.passed = m_record.passed && passed;
    m_record.successCount = successCount;
    m_record.failureCount = failureCount;
    if (onRecord)
        onRecord(finish());
}
