#include "ProductionCycle.h"

#include "BenchLiveness.h"
#include "BufferRange.h"
#include "CommandRunner.h"
#include "JobFile.h"
#include "MemoryBuffer.h"
#include "SelectionState.h"
#include "SerialState.h"
#include "StoreFactory.h"

namespace {

QString rangeText(uint16_t first, uint16_t last)
{
    return BufferRange::addressText(first) + QLatin1Char('-') + BufferRange::addressText(last);
}

QString notFitText(const SerialFormat &format, quint64 number)
{
    return QStringLiteral("serial number %1 does not fit %2 bytes (%3)")
        .arg(number)
        .arg(format.bytes)
        .arg(SerialFormat::formName(format.form));
}

} // namespace

ProductionCycle::ProductionCycle(const Settings &settings, MemoryBuffer &buffer, const SelectionState &selection,
                                 CommandRunner &runner)
    : m_settings(settings)
    , m_buffer(buffer)
    , m_selection(selection)
    , m_runner(runner)
    , m_recorder(buffer, selection)
{
    m_recorder.describe = [this](DeviceRecord &record) {
        if (describe)
            describe(record);
    };
    m_runner.addListener(&m_recorder);
    m_runner.addListener(&m_mark);
}

ProductionCycle::~ProductionCycle()
{
    if (m_benchAttached)
        m_runner.removeListener(liveness());
    m_runner.removeListener(&m_mark);
    m_runner.removeListener(&m_recorder);
}

BenchLiveness *ProductionCycle::attachBench(const QString &portEntry, const QString &job, const QString &lot)
{
    BenchLiveness *bench = liveness();
    if (!bench || m_benchAttached)
        return bench;
    bench->setPort(portEntry);
    bench->setJob(job, lot);
    m_runner.addListener(bench);
    m_benchAttached = true;
    return bench;
}

void ProductionCycle::detachBench()
{
    if (!m_benchAttached)
        return;
    liveness()->stopped();
    m_runner.removeListener(liveness());
    m_benchAttached = false;
}

bool ProductionCycle::imageUnchanged(const QString &path, const QString &sha256, QString *why)
{
    QString error;
    const QString now = JobFile::sha256OfFile(path, &error);
    if (now.isEmpty())
        *why = QStringLiteral("the job's image %1 cannot be read: %2").arg(path, error);
    else if (now != sha256)
        *why = QStringLiteral("the job's image %1 has changed since the job was saved (SHA-256 %2, the job keeps %3)")
                   .arg(path, now, sha256);
    else
        why->clear();
    return why->isEmpty();
}

QString ProductionCycle::overwriteText(const SerialFormat &format) const
{
    if (m_settings.serialOverwrite)
        return QString();
    const uint16_t last = uint16_t(format.address + format.bytes - 1);
    const int taken = m_buffer.firstFromFile(format.address, last);
    if (taken < 0)
        return QString();
    return QStringLiteral("serial number at %1 would replace data of %2 at %3; give --serial-overwrite to allow it")
        .arg(rangeText(format.address, last), m_settings.imagePath, BufferRange::addressText(uint16_t(taken)));
}

bool ProductionCycle::prepare(QString *error)
{
    error->clear();
    m_log = StoreFactory::recordStore(m_settings.stores, error);
    if (!error->isEmpty() || (m_log && !m_log->open(error)))
        return false;
    m_serials = StoreFactory::serialSource(m_settings.stores, error);
    if (!error->isEmpty())
        return false;
    if (!m_serials)
        return true;

    const StructureDevice &device = m_selection.SelectedDevice;
    auto outside = [&device](const SerialFormat &format) {
        return format.fitsDevice(device.deviceEnd())
                   ? QString()
                   : QStringLiteral("serial number at %1 lies outside the %2 (%3)")
                         .arg(rangeText(format.address, uint16_t(format.address + format.bytes - 1)), device.DeviceName,
                              rangeText(0, device.deviceEnd()));
    };
    // The form given is checked before a store keeps anything of it.
    if (m_settings.stores.serial && !(*error = outside(*m_settings.stores.serial)).isEmpty())
        return false;
    if (!m_serials->open(error))
        return false;
    // A database sequence writes the form kept with it.
    m_format = m_serials->keptFormat() ? m_serials->keptFormat() : m_settings.stores.serial;
    const SerialFormat &format = *m_format;
    if (!(*error = outside(format)).isEmpty() || !(*error = overwriteText(format)).isEmpty())
        return false;
    const std::optional<quint64> next = m_serials->peek(error);
    if (!next)
        return false;
    if (!format.fits(*next)) {
        *error = notFitText(format, *next);
        return false;
    }
    return true;
}

std::optional<quint64> ProductionCycle::nextSerial(QString *error) const
{
    if (!m_serials)
        return std::nullopt;
    return m_serials->peek(error);
}

QString ProductionCycle::stopText() const
{
    return QStringLiteral("Stopped: %1 devices failed in a row").arg(m_failedInRow);
}

bool ProductionCycle::beginDevice(QString *error)
{
    error->clear();
    // A database that stopped answering stops the run before the device.
    if (m_log && !m_log->ready(error))
        return false;
    // A job's image is checked again before each device: nothing goes to a
    // device from an image other than the job's.
    if (!m_settings.imageSha256.isEmpty() && !imageUnchanged(m_settings.imagePath, m_settings.imageSha256, error))
        return false;
    m_serial.reset();
    if (m_serials && !(m_serial = takeSerial(error)))
        return false;
    m_recorder.begin();
    if (m_serial) {
        const SerialFormat &format = *m_format;
        m_mark.arm(m_serials.get(), *m_serial, format.address, uint16_t(format.address + format.bytes - 1));
    }
    m_underWay = true;
    if (m_listener)
        m_listener->deviceStarting(m_devices + 1, m_serial);
    return true;
}

std::optional<quint64> ProductionCycle::takeSerial(QString *error)
{
    const std::optional<quint64> serial = m_serials->reserve(error);
    // The last number that fits went to an earlier device: the run ends
    // cleanly before this one.
    const bool usedUp = serial ? !m_format->fits(*serial) : error->contains(SerialState::exhaustedText());
    if (serial && !usedUp && m_format->write(m_buffer, *serial))
        return serial;
    if (serial)
        m_serials->release(*serial, error);
    if (usedUp || serial)
        *error = QStringLiteral("serial numbers used up");
    return std::nullopt;
}

void ProductionCycle::cancelDevice()
{
    if (!m_underWay)
        return;
    m_mark.disarm();
    m_underWay = false;
    QString error;
    if (m_serial && m_mark.written())
        m_serials->retire(*m_serial, QStringLiteral("its device was left after it was written"), &error);
    else if (m_serial)
        m_serials->release(*m_serial, &error);
    m_serial.reset();
}

void ProductionCycle::addOutcome(const QString &text, bool passed)
{
    m_recorder.addOutcome(text, passed);
}

ProductionCycle::DeviceEnd ProductionCycle::endDevice(bool passed)
{
    DeviceEnd end;
    m_mark.disarm();
    m_underWay = false;
    DeviceRecord &record = end.record;
    record = m_recorder.finish();
    record.passed = record.passed && passed;
    QString error;
    if (!m_mark.error().isEmpty()) {
        // The number could not be marked written, so it was never sent.
        record.outcome << m_mark.error();
        end.errors << m_mark.error();
    }
    bool committed = false;
    if (m_serial) {
        const quint64 serial = *m_serial;
        record.serial = serial;
        record.serialText = m_format->text(serial);
        committed = record.passed && settleSerial(serial, true, &error);
        if (!committed && (record.passed || !settleSerial(serial, false, &error))) {
            // Its number may have gone to another device: not a pass.
            if (record.passed)
                record.outcome << error;
            record.passed = false;
            end.errors << error;
        }
    }
    // The devices of this run, counted without wrapping.
    const auto count = [this](DeviceRecord &r) {
        r.successCount = int(m_success + (r.passed ? 1 : 0));
        r.failureCount = int(m_failure + (r.passed ? 0 : 1));
    };
    count(record);
    if (m_log && !m_log->append(record, &error)) {
        // Without its record the device does not count as passed, and its
        // number, used by a device without a record, is retired.
        record.passed = false;
        count(record);
        end.errors << error;
        if (committed)
            m_serials->retire(*m_serial, QStringLiteral("its device's record could not be kept"), &error);
    }
    m_success = record.successCount;
    m_failure = record.failureCount;
    ++m_devices;
    m_passedDevices += record.passed ? 1 : 0;
    m_failedInRow = record.passed ? 0 : m_failedInRow + 1;
    m_serial.reset();
    if (m_listener)
        m_listener->deviceEnded(record, end.errors);
    return end;
}

bool ProductionCycle::settleSerial(quint64 serial, bool passed, QString *error)
{
    if (passed) {
        if (m_serials->commit(serial, error))
            return true;
        // The device holds the number but the source could not say so: it
        // is retired if the source still answers, and otherwise stays
        // written, which retires it once this bench is gone.
        if (m_mark.written()) {
            QString ignored;
            m_serials->retire(serial, QStringLiteral("its commit failed after it was written: ") + *error, &ignored);
        }
        return false;
    }
    // A number that never left goes to the next device; one that may be in
    // the failed device does too, unless the line scraps those.
    if (m_mark.written() && m_settings.retireFailed)
        return m_serials->retire(serial, QStringLiteral("its device failed after it was written"), error);
    return m_serials->release(serial, error);
}
