#include "CliPortList.h"

#include "CliOutput.h"
#include "ExitCode.h"
#include "JsonEventWriter.h"
#include "PortListing.h"
#include "SystemPorts.h"

#include <cstdio>

int CliPortList::run(CliOutput &output)
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
