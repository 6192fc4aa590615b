// tarvo-cli: the device commands of the programmer without the window.
#include "CliHelp.h"
#include "CliJob.h"
#include "CliOptions.h"
#include "CliOutput.h"
#include "CliPortList.h"
#include "CliReport.h"
#include "CliSession.h"
#include "DeviceListing.h"
#include "ExitCode.h"
#include "PortFleet.h"

#include <QCoreApplication>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int print(const QString &text)
{
    std::fputs(qPrintable(text), stdout);
    return ExitCode::Passed;
}

int usageError(const CliOptions &options, CliOutput &output)
{
    output.usageError(options.error);
    if (!options.json)
        std::fputs("Try 'tarvo-cli --help'.\n", stderr);
    output.exit(ExitCode::UsageOrFile);
    return ExitCode::UsageOrFile;
}

} // namespace

int main(int argc, char **argv)
{
    // Started with standard input, output or error closed, the serial port
    // would get that descriptor: input read from the line, output sent to
    // the programmer. They point at /dev/null instead.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (::fcntl(fd, F_GETFD) < 0)
            ::open("/dev/null", O_RDWR);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvo-cli"));

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    CliOptions options = CliOptions::parse(arguments);
    options.portChild = qEnvironmentVariableIsSet(PortFleet::ChildVariable);
    // One port of several never starts ports of its own: its children would
    // start theirs, until the system has no processes left.
    if (options.portChild && options.mode == CliOptions::Mode::Fleet && options.error.isEmpty())
        options.error = QStringLiteral("this process runs one port for a parent tarvo-cli: several ports refused");
    // The help is shown whatever else the command line got wrong.
    if (options.mode == CliOptions::Mode::Help)
        return print(CliHelp::text());

    CliOutput output(options.json, ::isatty(STDOUT_FILENO) == 1);
    output.setVerbosity(options.quiet     ? CliOutput::Verbosity::Quiet
                        : options.verbose ? CliOutput::Verbosity::Verbose
                                          : CliOutput::Verbosity::Normal);
    if (!options.error.isEmpty())
        return usageError(options, output);
    // A job fills in what it fixes before the run (or each port's run) starts.
    if (!options.job.isEmpty() && (options.mode == CliOptions::Mode::Run || options.mode == CliOptions::Mode::Fleet))
        if (const int code = CliJob::open(options, output); code != ExitCode::Passed) {
            output.exit(code);
            return code;
        }
    switch (options.mode) {
    case CliOptions::Mode::Help:
        return print(CliHelp::text());
    case CliOptions::Mode::Version:
        return print(CliHelp::versionText());
    case CliOptions::Mode::ListDevices:
        return print(DeviceListing::text());
    case CliOptions::Mode::ListPorts:
        return CliPortList::run(output);
    case CliOptions::Mode::Report:
        return CliReport::run(options, output);
    case CliOptions::Mode::Fleet:
        return PortFleet(options, options.json).run();
    case CliOptions::Mode::SaveJob:
        return CliJob::save(options, output);
    case CliOptions::Mode::ShowJob:
        return CliJob::show(options, output);
    case CliOptions::Mode::Run:
        break;
    }
    return CliSession(options, output).run();
}
