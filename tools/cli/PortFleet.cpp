#include "PortFleet.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "ExitCode.h"
#include "CliPrompter.h"
#include "OperatorInput.h"
#include "PortChoice.h"
#include "PortFinder.h"
#include "ProgrammerLink.h"
#include "StopSignal.h"
#include "SystemPorts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

struct PortFleet::Child
{
    QString port;
    QProcess *process = nullptr;
    std::unique_ptr<CliOutput> output;
    QByteArray out;
    QByteArray err;
    bool waiting = false;
    bool finished = false;
    int devices = 0;
    int passed = 0;
    int failed = 0;
    qint64 msPerDevice = 0;
    int exitCode = ExitCode::CommandFailed;
    // The signal that ended the process ("SIGKILL"); empty when it exited.
    QString signal;
};

namespace {

// "SIGKILL (Killed)": a signal's name and what it means.
QString signalName(int number)
{
    const char *abbreviation = ::sigabbrev_np(number);
    const QString name = abbreviation ? QStringLiteral("SIG") + QLatin1String(abbreviation)
                                      : QStringLiteral("signal %1").arg(number);
    return QStringLiteral("%1 (%2)").arg(name, QString::fromLocal8Bit(::strsignal(number)));
}

} // namespace

PortFleet::PortFleet(const CliOptions &options, bool json)
    : m_options(options)
    , m_json(json)
    , m_output(std::make_unique<CliOutput>(json, false))
{
}

PortFleet::~PortFleet() = default;

QStringList PortFleet::childArguments(const CliOptions &options, const QString &port)
{
    return options.forPort(port).arguments();
}

void PortFleet::start(Child &child)
{
    QProcess *p = child.process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(ChildVariable), QStringLiteral("1"));
    p->setProcessEnvironment(env);
    // A process group of its own: Ctrl+C on the terminal reaches the parent
    // only, which passes it on once.
    p->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(p, &QProcess::readyReadStandardOutput, this, [this, &child] { readOut(child); });
    connect(p, &QProcess::readyReadStandardError, this, [this, &child] { readErr(child); });
    connect(p, &QProcess::finished, this, [this, &child](int code, QProcess::ExitStatus status) {
        readOut(child);
        readErr(child);
        child.finished = true;
        child.exitCode = code;
        // On a crash Qt gives the signal's number as the code. A signal ends
        // the tool, not a device: it never counts as a device that failed.
        if (status == QProcess::CrashExit) {
            child.exitCode = ExitCode::ProcessDied;
            child.signal = signalName(code);
            std::fprintf(stderr, "%s: tarvo-cli ended by %s\n", qPrintable(child.port), qPrintable(child.signal));
            std::fflush(stderr);
        }
        promptWhenAllWait();
        emit childFinished();
    });
    connect(p, &QProcess::errorOccurred, this, [this, &child](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        std::fprintf(stderr, "%s: %s\n", qPrintable(child.port), qPrintable(child.process->errorString()));
        child.finished = true;
        child.exitCode = ExitCode::NoProgrammer;
        emit childFinished();
    });
    p->start(QCoreApplication::applicationFilePath(), childArguments(m_options, child.port));
    if (!m_options.repeat)
        p->closeWriteChannel();
}

void PortFleet::readOut(Child &child)
{
    child.out += child.process->readAllStandardOutput();
    for (const QByteArray &line : OperatorInput::takeLines(child.out)) {
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject())
            handle(child, doc.object());
        else if (!line.isEmpty())
            std::fprintf(stderr, "%s: %s\n", qPrintable(child.port), line.constData());
    }
}

void PortFleet::readErr(Child &child)
{
    child.err += child.process->readAllStandardError();
    for (const QByteArray &line : OperatorInput::takeLines(child.err))
        std::fprintf(stderr, "%s: %s\n", qPrintable(child.port), line.constData());
    std::fflush(stderr);
}

void PortFleet::handle(Child &child, const QJsonObject &event)
{
    const QString name = event.value(QLatin1String("event")).toString();
    if (name == QLatin1String("waiting"))
        child.waiting = true;
    else if (name == QLatin1String("summary")) {
        child.devices = event.value(QLatin1String("devices")).toInt();
        child.passed = event.value(QLatin1String("passed")).toInt();
        child.failed = event.value(QLatin1String("failed")).toInt();
        child.msPerDevice = qint64(event.value(QLatin1String("ms_per_device")).toDouble());
    }

    CliOutput &out = *child.output;
    if (m_json) {
        out.relay(event);
    } else if (name == QLatin1String("status")) {
        out.status(event.value(QLatin1String("line")).toInt(), event.value(QLatin1String("text")).toString());
    } else if (name == QLatin1String("hardware")) {
        out.hardware(event.value(QLatin1String("text")).toString(), event.value(QLatin1String("bios")).toString());
    } else if (name == QLatin1String("fuse")) {
        QList<CliOutput::Bit> bits;
        for (const QJsonValue &b : event.value(QLatin1String("bits")).toArray())
            bits.append({b[QLatin1String("label")].toString(), b[QLatin1String("state")].toString()});
        std::optional<uint8_t> value;
        if (event.contains(QLatin1String("value")))
            value = uint8_t(event.value(QLatin1String("value")).toString().toUInt(nullptr, 16));
        out.fuseBits(bits, value);
    } else if (name == QLatin1String("device")) {
        out.device(event.value(QLatin1String("device")).toInt(), event.value(QLatin1String("passed")).toBool(),
                   event.value(QLatin1String("serial")).toString(), event.value(QLatin1String("success")).toInt(),
                   event.value(QLatin1String("failure")).toInt());
    } else if (name == QLatin1String("summary")) {
        out.summary(child.devices, child.passed, child.failed, child.msPerDevice);
    }
    // Boxes and usage errors reach standard error from the child itself;
    // progress, results and the exit code show in the table.
    if (name == QLatin1String("waiting"))
        promptWhenAllWait();
}

void PortFleet::passLine(const QByteArray &line)
{
    // Keys typed on a terminal while the devices run start nothing.
    if (m_input && m_input->terminal()) {
        if (!m_asked)
            return;
        m_asked = false;
    }
    for (const auto &child : m_children) {
        if (child->finished)
            continue;
        child->waiting = false;
        child->process->write(line + '\n');
    }
}

void PortFleet::endInput()
{
    for (const auto &child : m_children)
        if (!child->finished)
            child->process->closeWriteChannel();
}

void PortFleet::promptWhenAllWait()
{
    if (!m_options.repeat || m_json || ::isatty(STDIN_FILENO) != 1)
        return;
    bool anyWaiting = false;
    for (const auto &child : m_children) {
        if (child->finished)
            continue;
        if (!child->waiting)
            return;
        anyWaiting = true;
    }
    if (!anyWaiting)
        return;
    for (const auto &child : m_children)
        child->waiting = false;
    if (m_input)
        m_input->discardTypedAhead();
    m_asked = true;
    std::fprintf(stdout, "%s\n", qPrintable(OperatorInput::nextDevicePrompt()));
    std::fflush(stdout);
}

void PortFleet::stopAll()
{
    for (const auto &child : m_children)
        if (!child->finished && child->process->processId() > 0)
            ::kill(pid_t(child->process->processId()), SIGINT);
}

bool PortFleet::allFinished() const
{
    for (const auto &child : m_children)
        if (!child->finished)
            return false;
    return true;
}

void PortFleet::printTable()
{
    if (m_json) {
        for (const auto &c : m_children) {
            CliOutput &out = *c->output;
            QJsonObject summary{{QStringLiteral("event"), QStringLiteral("port-summary")},
                                {QStringLiteral("devices"), c->devices},
                                {QStringLiteral("passed"), c->passed},
                                {QStringLiteral("failed"), c->failed},
                                {QStringLiteral("ms_per_device"), c->msPerDevice},
                                {QStringLiteral("code"), c->exitCode}};
            if (!c->signal.isEmpty())
                summary.insert(QStringLiteral("signal"), c->signal);
            out.relay(summary);
        }
        return;
    }
    int width = 4;
    for (const auto &c : m_children)
        width = std::max(width, int(c->port.size()));
    std::printf("%-*s  %7s  %6s  %6s  %10s  %4s\n", width, "Port", "Devices", "Passed", "Failed", "Per device", "Exit");
    for (const auto &c : m_children)
        std::printf("%-*s  %7d  %6d  %6d  %8.2f s  %4d\n", width, qPrintable(c->port), c->devices, c->passed, c->failed,
                    double(c->msPerDevice) / 1000.0, c->exitCode);
    std::fflush(stdout);
}

QStringList PortFleet::programmerPorts()
{
    CliPrompter prompter(*m_output);
    ProgrammerLink link(prompter);
    const bool stopped = false;
    const PortChoice choice = PortChoice::resolve(QStringLiteral("auto"), SystemPorts::comPortMap());
    if (!choice.notFound.isEmpty()) {
        prompter.error(choice.notFound);
        return {};
    }
    PortFinder finder(link, *m_output, stopped);
    QStringList ports;
    for (const PortChoice::Candidate &c : finder.findAll(choice.candidates))
        ports << c.path;
    if (ports.isEmpty())
        prompter.error(QStringLiteral("No programmer answered on any port (%1)").arg(finder.tried().join(QLatin1String(", "))));
    return ports;
}

int PortFleet::run()
{
    QStringList ports = m_options.ports;
    // Two spellings of one device would be two processes on one port.
    QStringList devices;
    for (const QString &port : ports) {
        const PortChoice choice = PortChoice::resolve(port, SystemPorts::comPortMap());
        const QString device = choice.candidates.size() == 1 ? choice.candidates.constFirst().path : QString();
        if (!device.isEmpty() && devices.contains(device)) {
            m_output->usageError(QStringLiteral("--port names the same port twice (%1)").arg(device));
            m_output->exit(ExitCode::UsageOrFile);
            return ExitCode::UsageOrFile;
        }
        devices << device;
    }
    if (ports == QStringList{QLatin1String(CliOptions::AllPorts)}) {
        ports = programmerPorts();
        if (ports.isEmpty()) {
            m_output->exit(ExitCode::NoProgrammer);
            return ExitCode::NoProgrammer;
        }
    }

    StopSignal stopSignal;
    connect(&stopSignal, &StopSignal::stopRequested, this, [this] { stopAll(); });
    std::unique_ptr<OperatorInput> input;
    if (m_options.repeat) {
        input = std::make_unique<OperatorInput>();
        m_input = input.get();
        connect(input.get(), &OperatorInput::lineRead, this, &PortFleet::passLine);
        connect(input.get(), &OperatorInput::endOfInput, this, &PortFleet::endInput);
    }

    for (const QString &port : ports) {
        auto child = std::make_shared<Child>();
        child->port = port;
        child->process = new QProcess(this);
        child->output = std::make_unique<CliOutput>(m_json, false);
        child->output->setPort(port);
        m_children.append(child);
    }
    for (const auto &child : m_children)
        start(*child);

    QEventLoop loop;
    connect(this, &PortFleet::childFinished, &loop, [this, &loop] {
        if (allFinished())
            loop.quit();
    });
    if (!allFinished())
        loop.exec();
    m_input = nullptr;

    printTable();
    int worst = ExitCode::Passed;
    for (const auto &child : m_children)
        worst = std::max(worst, child->exitCode);
    m_output->exit(worst);
    return worst;
}
