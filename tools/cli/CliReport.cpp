#include "CliReport.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "DatabaseLocation.h"
#include "DeviceRecord.h"
#include "ExitCode.h"
#include "ProductionDatabase.h"
#include "ProductionReport.h"
#include "SqlRecordStore.h"

#include <cstdio>

namespace {

void printLine(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

} // namespace

int CliReport::run(const CliOptions &options, CliOutput &output)
{
    ProductionDatabase database(DatabaseLocation::parse(options.stores.database));
    QString error;
    bool ok = database.open(&error, ProductionDatabase::OpenMode::Existing);
    if (ok) {
        ProductionReport report(database);
        if (options.json) {
            ok = SqlRecordStore::read(database, options.since,
                                      [](const DeviceRecord &r) { printLine(QString::fromUtf8(r.jsonLine())); }, &error);
        } else if (options.csv) {
            ok = report.csv(options.since, printLine, &error);
        } else {
            QString text;
            ok = report.summary(options.since, &text, &error);
            if (ok)
                std::fputs(text.toUtf8().constData(), stdout);
        }
    }
    std::fflush(stdout);
    if (ok)
        return ExitCode::Passed;
    output.usageError(error);
    return ExitCode::UsageOrFile;
}
