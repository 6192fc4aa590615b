#include "CliSession.h"

#include "BufferRange.h"
#include "CliOutput.h"
#include "DeviceCatalogue.h"
#include "DeviceSelection.h"
#include "ExitCode.h"
#include "HexFileActions.h"
#include "HexText.h"
#include "ImageFileLoader.h"
#include "PortChoice.h"
#include "PortFinder.h"
#include "SystemPorts.h"

#include <QFile>

namespace {

// Environment variable for the limit of the single-reply waits (erase,
// blank check, lock), normally 15000 ms; tests shorten it.
constexpr char LongTimeoutVariable[] = "TARVO_CLI_LONG_TIMEOUT_MS";

// Time the last bytes (ENQ, CAN) get to leave before the port closes.
constexpr int FinalFlushMs = 500;

const QString AdapterNotice = QStringLiteral("This Device Used With Adapter AT90S8535");
const QString NoFuseText = QStringLiteral("Not Fuse on Device");

QString hexList(const QList<uint8_t> &values)
{
    QStringList out;
    for (uint8_t v : values)
        out << HexText::HexByteToStr2(v);
    return out.join(QLatin1String(", "));
}

} // namespace

CliSession::CliSession(const CliOptions &options, CliOutput &output)
    : m_options(options)
    , m_output(output)
    , m_prompter(output)
    , m_link(m_prompter)
    , m_view(output)
    , m_runner(m_link, m_buffer, m_selection, m_prompter)
    , m_fuse(m_link, m_selection, output)
{
    m_prompter.allow(HexFileActions::Text::Overwrite);
    QObject::connect(&m_link, &ProgrammerLink::statusText, &m_context,
                     [this](const QString &text) { m_hardwareText = text; });
    QObject::connect(&m_stopSignal, &StopSignal::stopRequested, &m_context, [this](int count) { onStop(count); });
    m_runner.addListener(&m_view);

    if (m_options.production()) {
        ProductionRun::Parts parts{m_buffer, m_selection, m_runner, [this] { return runCommands(); }};
        m_production = std::make_unique<ProductionRun>(m_options, m_output, parts);
    }

    bool ok = false;
    const int longMs = qEnvironmentVariableIntValue(LongTimeoutVariable, &ok);
    if (ok && longMs > 0) {
        CommandRunner::Timeouts timeouts = m_runner.timeouts();
        timeouts.longMs = longMs;
        m_runner.setTimeouts(timeouts);
    }
}

CliSession::~CliSession()
{
    m_link.port().close();
}

int CliSession::run()
{
    if (const int code = prepare(); code != ExitCode::Passed)
        return finish(code);
    if (m_production)
        if (const int code = m_production->prepare(); code != ExitCode::Passed)
            return finish(code);
    if (const int code = connect(); code != ExitCode::Passed)
        return finish(code);
    if (const int code = applyFirmwareRule(); code != ExitCode::Passed)
        return finish(code);
    if (m_options.dryRun) {
        m_output.note(QStringLiteral("Dry run: everything checked, no command sent"));
        return finish(ExitCode::Passed);
    }
    if (m_production) {
        return finish(m_production->run({m_options.port(), m_portPath, m_biosCode}));
    }
    return finish(runCommands());
}

int CliSession::runCommands()
{
    for (const CliCommand &command : m_options.commands) {
        if (m_stopped)
            return ExitCode::Stopped;
        m_output.setCommand(command.name());
        m_output.detail(QStringLiteral("Command ") + command.name());
        if (const int code = runCommand(command); code != ExitCode::Passed)
            return code;
    }
    return m_stopped ? ExitCode::Stopped : ExitCode::Passed;
}

// ---- before the line is touched ------------------------------------------

int CliSession::prepare()
{
    if (m_options.device.isEmpty())
        return ExitCode::Passed;
    m_deviceIndex = DeviceCatalogue::indexOf(m_options.device);
    if (m_deviceIndex < 0) {
        m_output.usageError(QStringLiteral("unknown device \"%1\"; the devices are: %2")
                                .arg(m_options.device, DeviceCatalogue::names().join(QLatin1String(", "))));
        return ExitCode::UsageOrFile;
    }
    DeviceSelection::Input input;
    input.index = m_deviceIndex;
    const DeviceSelection::Outcome selected = DeviceSelection::compute(input);
    m_selection = selected.state;
    const StructureDevice &device = m_selection.SelectedDevice;
    m_output.detail(QStringLiteral("Device %1: algorithm %2, %3, end %4H, type %5")
                        .arg(device.DeviceName, device.Algorithm, device.Vpp, device.DeviceEnd, device.TypeCode));
    if (selected.adapterNotice)
        m_prompter.inform(AdapterNotice);
    if (const int code = checkCommands(selected.menu); code != ExitCode::Passed)
        return code;
    return loadFile();
}

int CliSession::checkCommands(const DeviceMenuState &menu)
{
    const QString &type = m_selection.SelectedDevice.TypeCode;
    for (const CliCommand &c : m_options.commands) {
        // The file given enables the commands that need one.
        const DeviceCommand *device = DeviceCommand::byName(c.name());
        if (device && device->needsFile)
            continue;
        if (!device && !c.isFuse())
            continue;
        if (!menu[device ? device->menuItem : DeviceMenuItem::Fuse]) {
            if (c.isFuse())
                m_prompter.inform(NoFuseText);
            m_output.usageError(QStringLiteral("%1 is not available on %2").arg(c.name(), m_options.device));
            return ExitCode::UsageOrFile;
        }
        if (c.kind == CliCommand::Kind::FuseWrite) {
            const QList<uint8_t> allowed = FuseCommands::writableValues(type);
            if (!allowed.contains(c.fuseValue)) {
                m_output.usageError(QStringLiteral("fuse value %1 is out of range for %2 (allowed: %3)")
                                        .arg(HexText::HexByteToStr2(c.fuseValue), m_options.device, hexList(allowed)));
                return ExitCode::UsageOrFile;
            }
        }
    }
    return ExitCode::Passed;
}

int CliSession::loadFile()
{
    if (m_options.file.isEmpty())
        return ExitCode::Passed;
    // The window's text, then which file and why: there is no dialog here
    // that would show the name.
    QFile probe(m_options.file);
    if (!probe.open(QIODevice::ReadOnly)) {
        m_prompter.error(QStringLiteral("Open File Error!!! %1: %2").arg(m_options.file, probe.errorString()));
        return ExitCode::UsageOrFile;
    }
    // Intel HEX is read as the window reads it, with its boxes.
    if (m_options.binaryOffset() || ImageFileLoader::recognise(probe.read(4096)) != ImageFileLoader::Kind::IntelHex)
        return loadImage();
    const HexFileActions::OpenOutcome loaded =
        HexFileActions::OpenHexFile(m_options.file, m_buffer, m_selection, m_prompter);
    if (!loaded.opened || !loaded.finished)
        return ExitCode::UsageOrFile;
    // The window keeps what it read before a format error or a damaged
    // record and carries on; a device must not get a partial or corrupted
    // image, so here the file is refused. The length warning stays a warning.
    if (loaded.formatError || loaded.damagedCount > 0) {
        m_output.usageError(QStringLiteral("%1: refused, the file is damaged").arg(m_options.file));
        return ExitCode::UsageOrFile;
    }
    m_output.detail(QStringLiteral("File %1: buffer end %2, checksum %3")
                        .arg(m_options.file, loaded.bufferEndText, loaded.bufferSumText));
    return checkSize();
}

int CliSession::checkSize()
{
    // The window warns and carries on; here a device would get an image cut
    // short without anyone watching, so it is refused unless asked for.
    if (!m_selection.DeviceSelected || m_selection.SelectedDevice.deviceEnd() >= m_buffer.BufferEnd
        || m_options.allowOversize)
        return ExitCode::Passed;
    m_output.usageError(QStringLiteral("%1: refused, %2 (image end %3, %4 end %5); give --allow-oversize to load it")
                            .arg(m_options.file, HexFileActions::Text::EndOverDevice,
                                 BufferRange::addressText(m_buffer.BufferEnd), m_selection.SelectedDevice.DeviceName,
                                 BufferRange::addressText(m_selection.SelectedDevice.deviceEnd())));
    return ExitCode::UsageOrFile;
}

int CliSession::loadImage()
{
    const ImageFileLoader::Result loaded = ImageFileLoader::loadFile(m_options.file, m_buffer, m_options.binaryOffset());
    if (!loaded.opened) {
        m_prompter.error(QStringLiteral("Open File Error!!! %1: %2").arg(m_options.file, loaded.openError));
        return ExitCode::UsageOrFile;
    }
    if (!loaded.read.ok()) {
        const QString hint = loaded.kind == ImageFileLoader::Kind::Unknown
                                 ? QStringLiteral(" (for a raw binary give --file-offset ADDR)")
                                 : QString();
        m_output.usageError(QStringLiteral("%1: refused, %2%3").arg(m_options.file, loaded.read.error, hint));
        return ExitCode::UsageOrFile;
    }
    m_buffer.FileLoaded = true;
    if (m_selection.DeviceSelected && m_selection.SelectedDevice.deviceEnd() < m_buffer.BufferEnd)
        m_prompter.warning(HexFileActions::Text::EndOverDevice);
    if (const int code = checkSize(); code != ExitCode::Passed)
        return code;
    m_output.detail(QStringLiteral("File %1 (%2): buffer end %3, checksum %4")
                        .arg(m_options.file, ImageFileLoader::kindName(loaded.kind),
                             BufferRange::addressText(m_buffer.BufferEnd),
                             BufferRange::checksumText(m_buffer, BufferRange::viewLimit(m_buffer, m_selection))));
    return ExitCode::Passed;
}

// ---- the line --------------------------------------------------------------

int CliSession::connect()
{
    const PortChoice choice = PortChoice::resolve(m_options.port(), SystemPorts::comPortMap());
    if (!choice.usageError.isEmpty()) {
        m_output.usageError(choice.usageError);
        return ExitCode::UsageOrFile;
    }
    m_output.detail(QStringLiteral("Port ") + m_options.port());
    if (!choice.notFound.isEmpty()) {
        m_prompter.error(choice.notFound);
        return ExitCode::NoProgrammer;
    }

    m_output.setCommand(QStringLiteral("detect"));
    PortFinder finder(m_link, m_output, m_stopped);
    const PortFinder::Result result =
        choice.search ? finder.search(choice.candidates) : finder.tryPort(choice.candidates.first());
    switch (result) {
    case PortFinder::Result::Found:
        break;
    case PortFinder::Result::Stopped:
        return ExitCode::Stopped;
    case PortFinder::Result::OpenFailed:
        m_prompter.defaultError(finder.openError());
        return ExitCode::NoProgrammer;
    case PortFinder::Result::NoAnswer:
        if (choice.search)
            m_prompter.error(QStringLiteral("No programmer answered on any port (%1)")
                                 .arg(finder.tried().join(QLatin1String(", "))));
        return ExitCode::NoProgrammer;
    }
    const PortChoice::Candidate &port = finder.chosen();
    m_biosCode = finder.biosCode();
    m_portPath = port.path;
    if (choice.indirect)
        m_output.portChosen(port.path, port.comNumber);
    QString text = m_hardwareText;
    if (port.comNumber == 0)
        text = QStringLiteral("Search Hardware On ") + port.shownName() + QStringLiteral(" OK");
    m_output.hardware(text, m_biosCode);
    return ExitCode::Passed;
}

int CliSession::applyFirmwareRule()
{
    if (m_deviceIndex < 0)
        return ExitCode::Passed;
    DeviceSelection::Input input;
    input.index = m_deviceIndex;
    input.biosCode = m_biosCode;
    const DeviceSelection::Outcome selected = DeviceSelection::compute(input);
    if (selected.refusal.isEmpty())
        return ExitCode::Passed;
    m_selection.DeviceSelected = false;
    m_prompter.error(selected.refusal);
    return ExitCode::UsageOrFile;
}

// ---- the commands ----------------------------------------------------------

int CliSession::runCommand(const CliCommand &command)
{
    const bool passed = runOne(command);
    m_output.result(passed);
    if (!passed)
        return failureCode();
    if (command.kind == CliCommand::Kind::Read)
        return saveRead();
    return ExitCode::Passed;
}

bool CliSession::runOne(const CliCommand &command)
{
    if (const DeviceCommand *device = DeviceCommand::byName(command.name()))
        return m_runner.runOnce(*device);
    switch (command.kind) {
    case CliCommand::Kind::FuseRead:
        return m_fuse.read();
    case CliCommand::Kind::FuseWrite: {
        const bool written = m_fuse.write(command.fuseValue);
        if (m_production)
            m_production->fuseWritten(command.fuseValue, written);
        return written;
    }
    default:
        // The detection has run already, before any command.
        return true;
    }
}

int CliSession::saveRead()
{
    // The user named the file: it is replaced (atomically) without asking.
    if (!HexFileActions::SaveHexFile(m_options.output, m_buffer, m_selection, m_prompter))
        return ExitCode::UsageOrFile;
    return ExitCode::Passed;
}

int CliSession::failureCode()
{
    if (m_stopped)
        return ExitCode::Stopped;
    // A port that went away is a port error, not a device failure.
    if (!m_link.port().isOpen())
        return ExitCode::NoProgrammer;
    return ExitCode::CommandFailed;
}

// ---- the end ---------------------------------------------------------------

void CliSession::onStop(int count)
{
    m_stopped = true;
    m_prompter.setStopWanted(true);
    if (m_production)
        m_production->stop();
    if (count >= 2) {
        // Asked again: every wait ends now, without questions.
        m_link.requestShutdown();
        return;
    }
    if (m_fuse.busy())
        m_fuse.requestStop();
    else if (m_runner.active())
        m_runner.StopRunClick();
    else
        m_link.requestStop();
}

int CliSession::finish(int code)
{
    ComPort &port = m_link.port();
    // Whatever was under way, the programmer is told to drop it, unless the
    // failure ending has just done so.
    if (code == ExitCode::Stopped && port.isOpen() && port.lastWritten() != Ctl::CAN) {
        m_link.dropStopRequest();
        m_link.SendByte(Ctl::CAN);
    }
    if (port.isOpen())
        port.flush(FinalFlushMs);
    port.close();
    m_output.exit(code);
    return code;
}
