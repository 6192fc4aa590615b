#include "ProductionRun.h"

#include "BenchLiveness.h"
#include "BufferRange.h"
#include "CliOptions.h"
#include "CliOutput.h"
#include "CommandRunner.h"
#include "ExitCode.h"
#include "HexFileActions.h"
#include "HexText.h"
#include "SelectionState.h"

#include <QElapsedTimer>

namespace {

// The settings of the cycle the options ask for.
ProductionCycle::Settings cycleSettings(const CliOptions &options)
{
    ProductionCycle::Settings s;
    s.stores = options.stores;
    s.retireFailed = options.retireFailed();
    s.serialOverwrite = options.serialOverwrite;
    s.imagePath = options.file;
    // Set by a job only.
    s.imageSha256 = options.jobImageSha256;
    s.devices = options.jobDevices.toInt();
    s.stopAfterFailures = options.jobStopAfter.toInt();
    return s;
}

} // namespace

ProductionRun::ProductionRun(const CliOptions &options, CliOutput &output, const Parts &parts)
    : m_options(options)
    , m_output(output)
    , m_parts(parts)
    , m_cycle(cycleSettings(options), parts.buffer, parts.selection, parts.runner)
{
    m_cycle.describe = [this](DeviceRecord &record) { describe(record); };
}

ProductionRun::~ProductionRun() = default;

int ProductionRun::refuse(const QString &text)
{
    m_output.usageError(text);
    return ExitCode::UsageOrFile;
}

int ProductionRun::prepare()
{
    QString error;
    return m_cycle.prepare(&error) ? ExitCode::Passed : refuse(error);
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
    BenchLiveness *bench = m_cycle.attachBench(line.portEntry, m_options.openJobName, m_options.lot);
    int worst = ExitCode::Passed;
    QElapsedTimer clock;
    qint64 busyMs = 0;
    while (!m_stopped && !m_cycle.allDone()) {
        if (bench && m_input)
            bench->waiting();
        if (m_input && !awaitGo())
            break;
        clock.start();
        if (QString error; !m_cycle.beginDevice(&error)) {
            worst = refuse(error);
            break;
        }
        const int code = runDevice();
        busyMs += clock.elapsed();
        worst = std::max(worst, code);
        // A failed device is counted and the next one may come; a line or
        // a store that failed, or a stop, ends the run.
        if (!m_input || (code != ExitCode::Passed && code != ExitCode::CommandFailed))
            break;
        if (m_cycle.stoppedForFailures()) {
            m_output.message(Prompter::Icon::Error, m_cycle.stopText(), std::nullopt);
            break;
        }
    }
    m_input = nullptr;
    m_cycle.detachBench();
    const int devices = m_cycle.devices();
    m_output.summary(devices, m_cycle.passed(), devices - m_cycle.passed(), devices > 0 ? busyMs / devices : 0);
    // Nothing was programmed: not a success.
    if (devices == 0 && worst == ExitCode::Passed)
        return ExitCode::CommandFailed;
    return worst;
}

void ProductionRun::fuseWritten(uint8_t value, bool passed)
{
    m_fuseValue = HexText::HexByteToStr2(value);
    m_cycle.addOutcome(QStringLiteral("fuse-write %1 %2").arg(m_fuseValue, passed ? QLatin1String("Pass") : QLatin1String("Fail")),
                       passed);
}

int ProductionRun::runDevice()
{
    m_fuseValue.clear();
    if (BenchLiveness *bench = m_cycle.liveness()) {
        QStringList names;
        for (const CliCommand &c : m_options.commands)
            names << c.name();
        bench->deviceStarted(names.join(QLatin1Char(' ')));
    }
    int code = m_parts.runCommands();
    const ProductionCycle::DeviceEnd end = m_cycle.endDevice(code == ExitCode::Passed);
    for (const QString &error : end.errors)
        code = refuse(error);
    const DeviceRecord &record = end.record;
    m_output.device(m_cycle.devices(), record.passed, record.serial ? QString::number(*record.serial) : QString(),
                    record.successCount, record.failureCount);
    return code;
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
    record.jobName = m_options.openJobName;
    record.jobSha256 = m_options.jobFileSha256;
    record.operatorName = m_options.operatorName;
    record.lot = m_options.lot;
    record.scannedCode = m_input && m_input->scan() ? QString::fromUtf8(m_input->scannedCode()) : QString();
    record.bufferChecksum =
        BufferRange::checksumText(m_parts.buffer, BufferRange::viewLimit(m_parts.buffer, m_parts.selection));
}
