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

#include <algorithm>
#include <cstdio>

namespace {

// A label column is at least this wide, and is widened for its longest
// label up to the most; a longer label pushes its row's numbers right.
constexpr qsizetype LabelWidth = 16;
constexpr qsizetype MostLabelWidth = 40;
constexpr int NumberWidth = 8;

void printLine(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

// A text from the database as one line on a terminal: a line break, tab or
// escape of a host, job or lot name is shown, not obeyed.
QString shown(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c.category() == QChar::Other_Control)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// An empty job, lot or host is named as such.
QString labelOf(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("(none)") : shown(text);
}

QString yieldText(const RecordCounts &c)
{
    const std::optional<double> yield = c.yieldPercent();
    return yield ? QString::number(*yield, 'f', 1) + QLatin1String(" %") : QStringLiteral("-");
}

struct Row
{
    QStringList labels;
    RecordCounts counts;
};

// A table: label columns, then devices, passed, failed and the yield;
// with a header line of titles unless header is false.
QString table(const QStringList &titles, const QList<Row> &rows, bool header = true)
{
    QList<qsizetype> widths;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        qsizetype width = std::max(LabelWidth, titles.at(i).size());
        for (const Row &row : rows)
            width = std::max(width, std::min(MostLabelWidth, row.labels.at(i).size()));
        widths << width;
    }
    const auto line = [&widths](const QStringList &labels, const QStringList &numbers) {
        QString out;
        for (qsizetype i = 0; i < labels.size(); ++i)
            out += QStringLiteral("%1 ").arg(labels.at(i), -int(widths.at(i)));
        QStringList cells;
        for (const QString &n : numbers)
            cells << QStringLiteral("%1").arg(n, NumberWidth);
        return out + cells.join(QLatin1Char(' ')) + QLatin1Char('\n');
    };
    QString out = header ? line(titles, {QStringLiteral("Devices"), QStringLiteral("Passed"), QStringLiteral("Failed"),
                                         QStringLiteral("Yield")})
                         : QString();
    for (const Row &row : rows)
        out += line(row.labels, {QString::number(row.counts.devices()), QString::number(row.counts.passed),
                                 QString::number(row.counts.failed), yieldText(row.counts)});
    return out;
}

QList<Row> rowsOf(const QMap<QString, RecordCounts> &counts)
{
    QList<Row> rows;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        rows.append({{shown(it.key())}, it.value()});
    return rows;
}

QList<Row> rowsOf(const QMap<QPair<QString, QString>, RecordCounts> &counts)
{
    QList<Row> rows;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        rows.append({{labelOf(it.key().first), labelOf(it.key().second)}, it.value()});
    return rows;
}

// The failed devices by step, in the order of a device's run, and the
// step that failed most. Nothing when none failed.
QString failedStepsText(const RecordSummary &summary)
{
    if (summary.failedSteps.isEmpty())
        return QString();
    QString out = QStringLiteral("\n%1 %2\n").arg(QStringLiteral("Failed step"), -int(LabelWidth)).arg(QStringLiteral("Devices"), NumberWidth);
    for (const QString &step : DeviceRecord::failedStepNames())
        if (summary.failedSteps.contains(step))
            out += QStringLiteral("%1 %2\n").arg(step, -int(LabelWidth)).arg(summary.failedSteps.value(step), NumberWidth);
    const QString most = summary.mostFailedStep();
    return out + QStringLiteral("\nMost failed step: %1 (%2 of %3 failed devices)\n")
                     .arg(most)
                     .arg(summary.failedSteps.value(most))
                     .arg(summary.total.failed);
}

QString summaryText(const RecordSummary &summary, const CliOptions &options, const QString &location)
{
    QString out = QStringLiteral("Production records in %1%2%3\n\n")
                      .arg(location, options.since.isEmpty() ? QString() : QStringLiteral(" since ") + options.since,
                           options.bench ? QStringLiteral(", by bench") : QString());
    if (options.bench) {
        // The totals under the benches' numbers.
        const QList<Row> rows = rowsOf(summary.byBench) + QList<Row>{{{QStringLiteral("All"), QString()}, summary.total}};
        return out + table({QStringLiteral("Host"), QStringLiteral("Port")}, rows) + failedStepsText(summary);
    }
    out += table({QStringLiteral("Day")}, rowsOf(summary.byDay)) + QLatin1Char('\n');
    out += table({QStringLiteral("Device")}, rowsOf(summary.byDevice)) + QLatin1Char('\n');
    out += table({QStringLiteral("Job"), QStringLiteral("Lot")}, rowsOf(summary.byJobLot)) + QLatin1Char('\n');
    out += table({QString()}, {{{QStringLiteral("All")}, summary.total}}, false);
    return out + failedStepsText(summary);
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
                   .arg(shown(r.sequence), -16)
                   .arg(r.number, 20)
                   .arg(QDateTime::fromMSecsSinceEpoch(r.sinceMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), -20)
                   .arg(shown(r.reason));
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
    if (!options.bench && !SqlSerialSequence::retiredNumbers(database, &retired, error))
        return false;
    std::fputs((summaryText(summary, options, location) + retiredText(retired)).toUtf8().constData(), stdout);
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
