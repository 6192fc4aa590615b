// tarvo-cli: the device commands of the programmer without the window.
#include "CliHelp.h"
#include "CliOptions.h"
#include "CliOutput.h"
#include "CliReport.h"
#include "CliSession.h"
#include "DeviceListing.h"
#include "ExitCode.h"
#include "JsonEventWriter.h"
#include "PortFleet.h"
#include "PortListing.h"
#include "SystemPorts.h"

#include <QCoreApplication>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int listPorts(CliOutput &output)
{
    const QList<PortListing::Row> rows = PortListing::rows(SystemPorts::comPortMap());
    if (output.json()) {
        JsonEventWriter writer(stdout);
        for (const PortListing::Row &row : rows)
            writer.write(QStringLiteral("port"), PortListing::json(row));
    } else {
        for (const QString &line : PortListing::textLines(rows))
            std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
        if (rows.isEmpty())
            std::fputs("No serial port found.\n", stderr);
    }
    output.exit(ExitCode::Passed);
    return ExitCode::Passed;
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
    if (options.help) {
        std::fputs(qPrintable(CliHelp::text()), stdout);
        return ExitCode::Passed;
    }
    if (options.version && options.error.isEmpty()) {
        std::fputs(qPrintable(CliHelp::versionText()), stdout);
        return ExitCode::Passed;
    }
    if (options.listDevices && options.error.isEmpty()) {
        std::fputs(qPrintable(DeviceListing::text()), stdout);
        return ExitCode::Passed;
    }

    CliOutput output(options.json, ::isatty(STDOUT_FILENO) == 1);
    output.setVerbosity(options.quiet     ? CliOutput::Verbosity::Quiet
                        : options.verbose ? CliOutput::Verbosity::Verbose
                                          : CliOutput::Verbosity::Normal);
    if (!options.error.isEmpty()) {
        output.usageError(options.error);
        if (!options.json)
            std::fputs("Try 'tarvo-cli --help'.\n", stderr);
        output.exit(ExitCode::UsageOrFile);
        return ExitCode::UsageOrFile;
    }
    if (options.report)
        return CliReport::run(options, output);
    if (options.listPorts)
        return listPorts(output);
    if (options.severalPorts()) {
        PortFleet fleet(options, arguments, options.json);
        return fleet.run();
    }
    CliSession session(options, output);
    return session.run();
}
