#include "CliReport.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "DatabaseLocation.h"
#include "DeviceRecord.h"
#include "ExitCode.h"
#include "ProductionDatabase.h"
#include "ProductionReport.h"
#include "RecordSummary.h"
#include "SqlSerialSequence.h"

#include <QDateTime>

#include <cstdio>

namespace {

void printLine(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

QString line(const QString &label, const QString &devices, const QString &passed, const QString &failed)
{
    return QStringLiteral("%1 %2 %3 %4\n").arg(label, -16).arg(devices, 8).arg(passed, 8).arg(failed, 8);
}

QString row(const QString &label, const RecordCounts &c)
{
    return line(label, QString::number(c.devices()), QString::number(c.passed), QString::number(c.failed));
}

QString table(const QString &title, const QMap<QString, RecordCounts> &rows)
{
    QString out = line(title, QStringLiteral("Devices"), QStringLiteral("Passed"), QStringLiteral("Failed"));
    for (auto it = rows.cbegin(); it != rows.cend(); ++it)
        out += row(it.key(), it.value());
    return out;
}

QString summaryText(const RecordSummary &summary, const QString &location, const QString &since)
{
    return QStringLiteral("Production records in %1%2\n\n")
               .arg(location, since.isEmpty() ? QString() : QStringLiteral(" since ") + since)
           + table(QStringLiteral("Day"), summary.byDay) + QLatin1Char('\n') + table(QStringLiteral("Device"), summary.byDevice)
           + QLatin1Char('\n') + row(QStringLiteral("All"), summary.total);
}

// Numbers that may be in a device that never passed: never handed out
// again. Nothing when there are none.
QString retiredText(const QList<SqlSerialSequence::Retired> &retired)
{
    if (retired.isEmpty())
        return QString();
    QString out = QStringLiteral("\nRetired serial numbers\n\n");
    out += QStringLiteral("%1 %2 %3 %4\n").arg(QStringLiteral("Sequence"), -16).arg(QStringLiteral("Number"), 20)
               .arg(QStringLiteral("Retired"), -20).arg(QStringLiteral("Reason"));
    for (const SqlSerialSequence::Retired &r : retired)
        out += QStringLiteral("%1 %2 %3 %4\n")
                   .arg(r.sequence, -16)
                   .arg(r.number, 20)
                   .arg(QDateTime::fromMSecsSinceEpoch(r.sinceMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), -20)
                   .arg(r.reason);
    return out;
}

bool print(ProductionDatabase &database, ProductionReport &report, const CliOptions &options, const QString &location,
           QString *error)
{
    if (options.json)
        return report.records(options.since, [](const DeviceRecord &r) { printLine(QString::fromUtf8(r.jsonLine())); },
                              error);
    if (options.csv) {
        // A --since that is no day nor time prints nothing, not a lone header.
        if (!ProductionReport::checkSince(options.since, error))
            return false;
        printLine(DeviceRecord::csvHeader());
        return report.records(options.since, [](const DeviceRecord &r) { printLine(r.csvRow()); }, error);
    }
    RecordSummary summary;
    if (!report.summary(options.since, &summary, error))
        return false;
    QList<SqlSerialSequence::Retired> retired;
    if (!SqlSerialSequence::retiredNumbers(database, &retired, error))
        return false;
    std::fputs((summaryText(summary, location, options.since) + retiredText(retired)).toUtf8().constData(), stdout);
    return true;
}

} // namespace

int CliReport::run(const CliOptions &options, CliOutput &output)
{
    ProductionDatabase database(DatabaseLocation::parse(options.stores.database));
    QString error;
    bool ok = database.open(&error, ProductionDatabase::OpenMode::Existing);
    if (ok) {
        ProductionReport report(database);
        ok = print(database, report, options, database.location().text(), &error);
    }
    std::fflush(stdout);
    if (ok)
        return ExitCode::Passed;
    output.usageError(error);
    return ExitCode::UsageOrFile;
}
