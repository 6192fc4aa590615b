#include "ProductionRun.h"

#include "BenchLiveness.h"
#include "BufferRange.h"
#include "CliJob.h"
#include "CliOptions.h"
#include "CliOutput.h"
#include "CommandRunner.h"
#include "ExitCode.h"
#include "HexFileActions.h"
#include "HexText.h"
#include "SelectionState.h"
#include "SerialState.h"
#include "StoreFactory.h"

#include <QElapsedTimer>

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

ProductionRun::ProductionRun(const CliOptions &options, CliOutput &output, const Parts &parts)
    : m_options(options)
    , m_output(output)
    , m_parts(parts)
    , m_recorder(parts.buffer, parts.selection)
{
    m_recorder.describe = [this](DeviceRecord &record) { describe(record); };
    m_parts.runner.addListener(&m_recorder);
    m_parts.runner.addListener(&m_mark);
}

ProductionRun::~ProductionRun()
{
    m_parts.runner.removeListener(&m_mark);
    m_parts.runner.removeListener(&m_recorder);
}

int ProductionRun::refuse(const QString &text)
{
    m_output.usageError(text);
    return ExitCode::UsageOrFile;
}

QString ProductionRun::overwriteText(const SerialFormat &format) const
{
    if (m_options.serialOverwrite)
        return QString();
    const uint16_t last = uint16_t(format.address + format.bytes - 1);
    const int taken = m_parts.buffer.firstFromFile(format.address, last);
    if (taken < 0)
        return QString();
    return QStringLiteral("serial number at %1 would replace data of %2 at %3; give --serial-overwrite to allow it")
        .arg(rangeText(format.address, last), m_options.file, BufferRange::addressText(uint16_t(taken)));
}

int ProductionRun::prepare()
{
    QString error;
    m_log = StoreFactory::recordStore(m_options.stores, &error);
    if (!error.isEmpty())
        return refuse(error);
    if (m_log && !m_log->open(&error))
        return refuse(error);
    m_serials = StoreFactory::serialSource(m_options.stores, &error);
    if (!error.isEmpty())
        return refuse(error);
    if (!m_serials)
        return ExitCode::Passed;

    const StructureDevice &device = m_parts.selection.SelectedDevice;
    auto outside = [&device](const SerialFormat &format) {
        return format.fitsDevice(device.deviceEnd())
                   ? QString()
                   : QStringLiteral("serial number at %1 lies outside the %2 (%3)")
                         .arg(rangeText(format.address, uint16_t(format.address + format.bytes - 1)), device.DeviceName,
                              rangeText(0, device.deviceEnd()));
    };
    // The form given is checked before a store keeps anything of it.
    if (m_options.stores.serial && !(error = outside(*m_options.stores.serial)).isEmpty())
        return refuse(error);
    if (!m_serials->open(&error))
        return refuse(error);
    // A database sequence writes the form kept with it.
    m_format = m_serials->keptFormat() ? m_serials->keptFormat() : m_options.stores.serial;
    const SerialFormat &format = *m_format;
    if (!(error = outside(format)).isEmpty())
        return refuse(error);
    if (!(error = overwriteText(format)).isEmpty())
        return refuse(error);
    const std::optional<quint64> next = m_serials->peek(&error);
    if (!next)
        return refuse(error);
    if (!format.fits(*next))
        return refuse(notFitText(format, *next));
    return ExitCode::Passed;
}

bool ProductionRun::awaitGo()
{
    m_input->discardTypedAhead();
    for (;;) {
        m_output.prompt(OperatorInput::nextDevicePrompt(), m_input->terminal());
        const OperatorInput::Go go = m_input->wait();
        if (go != OperatorInput::Go::Other)
            return go == OperatorInput::Go::Run;
        const QString line = QString::fromLocal8Bit(m_input->refusedLine().trimmed());
        m_output.usageError(m_input->scan()
                                ? QStringLiteral("an empty line runs nothing with --scan: scan the device's code to run "
                                                 "it; q, quit or exit ends the run")
                                : QStringLiteral("\"%1\" runs nothing: Enter runs the next device; q, quit or exit ends "
                                                 "the run")
                                      .arg(line));
    }
}

void ProductionRun::stop()
{
    m_stopped = true;
    if (m_input)
        m_input->stop();
}

int ProductionRun::run(const Line &line)
{
    m_line = line;
    // Standard input is read only when the operator's go is asked for.
    std::unique_ptr<OperatorInput> input;
    if (m_options.repeat) {
        input = std::make_unique<OperatorInput>();
        input->setScan(m_options.jobScan);
    }
    m_input = input.get();
    // The bench's row on the line's board, where the records are a database.
    BenchLiveness *bench = m_log ? m_log->liveness() : nullptr;
    if (bench) {
        bench->setPort(line.portEntry);
        bench->setJob(m_options.jobName, m_options.lot);
        m_parts.runner.addListener(bench);
    }
    int devices = 0;
    int passed = 0;
    int worst = ExitCode::Passed;
    QElapsedTimer clock;
    qint64 busyMs = 0;
    int failedInRow = 0;
    const int deviceLimit = m_options.jobDevices.toInt();
    const int stopAfter = m_options.jobStopAfter.toInt();
    while (!m_stopped && (deviceLimit == 0 || devices < deviceLimit)) {
        if (bench && m_input)
            bench->waiting();
        if (m_input && !awaitGo())
            break;
        // A database that stopped answering stops the run before the device.
        if (QString error; m_log && !m_log->ready(&error)) {
            worst = refuse(error);
            break;
        }
        // A job's image is checked again before each device: nothing goes
        // to a device from an image other than the job's.
        if (QString why; !m_options.job.isEmpty() && !CliJob::imageUnchanged(m_options, &why)) {
            worst = refuse(why);
            break;
        }
        clock.start();
        std::optional<quint64> serial;
        if (int code = ExitCode::Passed; m_serials && !(serial = takeSerial(&code))) {
            worst = std::max(worst, code);
            break;
        }
        bool devicePassed = false;
        const int code = runDevice(++devices, serial, devicePassed);
        busyMs += clock.elapsed();
        passed += devicePassed ? 1 : 0;
        worst = std::max(worst, code);
        // A failed device is counted and the next one may come; a line or
        // a store that failed, or a stop, ends the run.
        if (!m_input || (code != ExitCode::Passed && code != ExitCode::CommandFailed))
            break;
        failedInRow = devicePassed ? 0 : failedInRow + 1;
        if (stopAfter > 0 && failedInRow >= stopAfter) {
            m_output.message(Prompter::Icon::Error,
                             QStringLiteral("Stopped: %1 devices failed in a row").arg(failedInRow), std::nullopt);
            break;
        }
    }
    m_input = nullptr;
    if (bench) {
        bench->stopped();
        m_parts.runner.removeListener(bench);
    }
    m_output.summary(devices, passed, devices - passed, devices > 0 ? busyMs / devices : 0);
    // Nothing was programmed: not a success.
    if (devices == 0 && worst == ExitCode::Passed)
        return ExitCode::CommandFailed;
    return worst;
}

std::optional<quint64> ProductionRun::takeSerial(int *code)
{
    QString error;
    const std::optional<quint64> serial = m_serials->reserve(&error);
    // The last number that fits went to an earlier device: the run ends
    // cleanly before this one.
    const bool usedUp = serial ? !m_format->fits(*serial) : error.contains(SerialState::exhaustedText());
    if (serial && !usedUp && m_format->write(m_parts.buffer, *serial))
        return serial;
    if (serial)
        m_serials->release(*serial, &error);
    *code = refuse(usedUp || serial ? QStringLiteral("serial numbers used up") : error);
    return std::nullopt;
}

void ProductionRun::fuseWritten(uint8_t value, bool passed)
{
    m_fuseValue = HexText::HexByteToStr2(value);
    m_recorder.addOutcome(QStringLiteral("fuse-write %1 %2").arg(m_fuseValue, passed ? QLatin1String("Pass") : QLatin1String("Fail")),
                          passed);
}

int ProductionRun::runDevice(int number, std::optional<quint64> serial, bool &passed)
{
    m_recorder.begin();
    m_fuseValue.clear();
    QString error;
    const SerialFormat *format = m_serials ? &*m_format : nullptr;

    if (serial)
        m_mark.arm(m_serials.get(), *serial, format->address, uint16_t(format->address + format->bytes - 1));
    if (BenchLiveness *bench = m_log ? m_log->liveness() : nullptr) {
        QStringList names;
        for (const CliCommand &c : m_options.commands)
            names << c.name();
        bench->deviceStarted(names.join(QLatin1Char(' ')));
    }
    int code = m_parts.runCommands();
    m_mark.disarm();
    DeviceRecord record = m_recorder.finish();
    record.passed = record.passed && code == ExitCode::Passed;
    if (!m_mark.error().isEmpty()) {
        // The number could not be marked written, so it was never sent.
        record.outcome << m_mark.error();
        code = refuse(m_mark.error());
    }
    bool committed = false;
    if (serial) {
        record.serial = serial;
        record.serialText = format->text(*serial);
        committed = record.passed && settleSerial(*serial, true, &error);
        if (!committed && (record.passed || !settleSerial(*serial, false, &error))) {
            // Its number may have gone to another device: not a pass.
            if (record.passed)
                record.outcome << error;
            record.passed = false;
            code = refuse(error);
        }
    }
    // The devices of this run, counted without wrapping.
    const auto count = [this](DeviceRecord &r) {
        r.successCount = m_success + (r.passed ? 1 : 0);
        r.failureCount = m_failure + (r.passed ? 0 : 1);
    };
    count(record);
    if (m_log && !m_log->append(record, &error)) {
        // Without its record the device does not count as passed, and its
        // number, used by a device without a record, is retired.
        record.passed = false;
        count(record);
        code = refuse(error);
        if (committed)
            m_serials->retire(*serial, QStringLiteral("its device's record could not be kept"), &error);
    }
    m_success = record.successCount;
    m_failure = record.failureCount;
    passed = record.passed;
    m_output.device(number, record.passed, serial ? QString::number(*serial) : QString(), record.successCount,
                    record.failureCount);
    return code;
}

bool ProductionRun::settleSerial(quint64 serial, bool passed, QString *error)
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
    if (m_mark.written() && m_options.retireFailed())
        return m_serials->retire(serial, QStringLiteral("its device failed after it was written"), error);
    return m_serials->release(serial, error);
}

void ProductionRun::describe(DeviceRecord &record) const
{
    record.portEntry = m_line.portEntry;
    record.portPath = m_line.portPath;
    record.biosCode = m_line.biosCode;
    record.device = m_parts.selection.SelectedDevice.DeviceName;
    record.commands.clear();
    for (const CliCommand &c : m_options.commands)
        record.commands << c.name();
    record.fileName = m_options.file.isEmpty() ? QString() : HexFileActions::bareFileName(m_options.file);
    record.fuseValue = m_fuseValue;
    record.scannedCode = m_input && m_input->scan() ? QString::fromUtf8(m_input->scannedCode()) : QString();
    record.bufferChecksum =
        BufferRange::checksumText(m_parts.buffer, BufferRange::viewLimit(m_parts.buffer, m_parts.selection));
}
