#include "LineData.h"

#include "BenchBoard.h"
#include "DeviceRecord.h"
#include "ProductionDatabase.h"
#include "ProductionReport.h"
#include "RecordSummary.h"
#include "SqlSerialSequence.h"

#include <QJsonArray>

namespace {

// Passed in percent of the devices, one decimal; null when none ran.
QJsonValue yieldOf(const RecordCounts &c)
{
    const std::optional<double> yield = c.yieldPercent();
    return yield ? QJsonValue(qRound(*yield * 10.0) / 10.0) : QJsonValue(QJsonValue::Null);
}

QJsonObject countsJson(const RecordCounts &c)
{
    return QJsonObject{{QStringLiteral("devices"), c.devices()},
                       {QStringLiteral("passed"), c.passed},
                       {QStringLiteral("failed"), c.failed},
                       {QStringLiteral("yield"), yieldOf(c)}};
}

QJsonObject with(QJsonObject object, const QString &key, const QJsonValue &value)
{
    object.insert(key, value);
    return object;
}

QString isoTime(const QDateTime &time)
{
    return time.toString(Qt::ISODate);
}

ReportFilter filterOf(const LineParameters &p)
{
    ReportFilter filter;
    filter.since = p.since;
    filter.job = p.job;
    filter.lot = p.lot;
    return filter;
}

QString keyOf(const QString &what, const LineParameters &p)
{
    // Unit separators keep "a" + "bc" apart from "ab" + "c".
    return QStringList{what, p.since, p.job, p.lot, QString::number(p.limit)}.join(QChar(0x1f));
}

} // namespace

LineData::LineData(ProductionDatabase &database) : m_database(database) {}

bool LineData::cached(const QString &key, const Query &query, QJsonObject *out, QString *error)
{
    const auto it = m_cache.constFind(key);
    if (it != m_cache.cend() && it->age.isValid() && it->age.elapsed() < CacheMs) {
        *out = it->value;
        return true;
    }
    // A server restarted or a connection dropped: once more on a new one.
    QString ignored;
    if (!query(out, error) && !(m_database.ping(&ignored) && query(out, error)))
        return false;
    if (m_cache.size() >= CacheEntries)
        m_cache.clear();
    Entry &entry = m_cache[key];
    entry.age.start();
    entry.value = *out;
    return true;
}

bool LineData::benches(QJsonObject *out, QString *error)
{
    return cached(QStringLiteral("benches"), [this](QJsonObject *o, QString *e) {
        QList<BenchRow> rows;
        BenchBoard board(m_database);
        if (!board.benches(&rows, e))
            return false;
        // Today's devices of each bench, by the benches' calendar.
        const QDateTime now = this->now();
        ReportFilter today;
        today.since = now.date().toString(Qt::ISODate);
        RecordSummary summary;
        ProductionReport report(m_database);
        if (!report.summary(today, &summary, e))
            return false;
        QJsonArray list;
        for (const BenchRow &row : rows) {
            const RecordCounts counts = summary.byBench.value(qMakePair(row.host, row.portEntry));
            list.append(QJsonObject{
                {QStringLiteral("host"), row.host},
                {QStringLiteral("port"), row.portEntry},
                {QStringLiteral("state"), row.state},
                {QStringLiteral("gone"), row.gone},
                {QStringLiteral("command"), row.command},
                {QStringLiteral("devices"), row.devices},
                {QStringLiteral("job"), row.job},
                {QStringLiteral("lot"), row.lot},
                {QStringLiteral("step"), row.step},
                {QStringLiteral("text"), row.text},
                {QStringLiteral("changed"), isoTime(QDateTime::fromMSecsSinceEpoch(row.changedMs))},
                {QStringLiteral("today"), countsJson(counts)},
            });
        }
        *o = QJsonObject{{QStringLiteral("benches"), list},
                         {QStringLiteral("now"), isoTime(now)}};
        return true;
    }, out, error);
}

bool LineData::summary(const LineParameters &parameters, QJsonObject *out, QString *error)
{
    QJsonObject retired;
    if (!counts(parameters, out, error) || !this->retired(&retired, error))
        return false;
    out->insert(QStringLiteral("retired"), retired.value(QStringLiteral("retired")));
    return true;
}

bool LineData::devices(const LineParameters &parameters, qint64 *devices, QString *error)
{
    QJsonObject summary;
    if (!counts(parameters, &summary, error))
        return false;
    *devices = summary.value(QStringLiteral("total"))[QStringLiteral("devices")].toInteger();
    return true;
}

bool LineData::counts(const LineParameters &parameters, QJsonObject *out, QString *error)
{
    return cached(keyOf(QStringLiteral("summary"), parameters), [this, parameters](QJsonObject *o, QString *e) {
        RecordSummary summary;
        ProductionReport report(m_database);
        if (!report.summary(filterOf(parameters), &summary, e))
            return false;
        QJsonArray days, devices, jobLots, steps;
        for (auto it = summary.byDay.cbegin(); it != summary.byDay.cend(); ++it)
            days.append(with(countsJson(it.value()), QStringLiteral("day"), it.key()));
        for (auto it = summary.byDevice.cbegin(); it != summary.byDevice.cend(); ++it)
            devices.append(with(countsJson(it.value()), QStringLiteral("device"), it.key()));
        for (auto it = summary.byJobLot.cbegin(); it != summary.byJobLot.cend(); ++it)
            jobLots.append(with(with(countsJson(it.value()), QStringLiteral("job"), it.key().first), QStringLiteral("lot"),
                                it.key().second));
        for (auto it = summary.failedSteps.cbegin(); it != summary.failedSteps.cend(); ++it)
            steps.append(QJsonObject{{QStringLiteral("step"), it.key()}, {QStringLiteral("devices"), it.value()}});
        *o = QJsonObject{{QStringLiteral("since"), parameters.since},
                         {QStringLiteral("job"), parameters.job},
                         {QStringLiteral("lot"), parameters.lot},
                         {QStringLiteral("total"), countsJson(summary.total)},
                         {QStringLiteral("byDay"), days},
                         {QStringLiteral("byDevice"), devices},
                         {QStringLiteral("byJobLot"), jobLots},
                         {QStringLiteral("failedSteps"), steps}};
        return true;
    }, out, error);
}

bool LineData::retired(QJsonObject *out, QString *error)
{
    // The same list whatever the summary's since, job and lot: asked once.
    return cached(QStringLiteral("retired"), [this](QJsonObject *o, QString *e) {
        QList<SqlSerialSequence::Retired> retired;
        if (!SqlSerialSequence::retiredNumbers(m_database, &retired, e))
            return false;
        QJsonArray numbers;
        for (const SqlSerialSequence::Retired &r : retired)
            numbers.append(QJsonObject{{QStringLiteral("sequence"), r.sequence},
                                       // Text: 64 bits do not fit a JSON number.
                                       {QStringLiteral("number"), QString::number(r.number)},
                                       {QStringLiteral("reason"), r.reason},
                                       {QStringLiteral("retired"), isoTime(QDateTime::fromMSecsSinceEpoch(r.sinceMs))}});
        *o = QJsonObject{{QStringLiteral("retired"), numbers}};
        return true;
    }, out, error);
}

bool LineData::records(const LineParameters &parameters, QJsonObject *out, QString *error)
{
    return cached(keyOf(QStringLiteral("records"), parameters), [this, parameters](QJsonObject *o, QString *e) {
        QJsonArray list;
        ProductionReport report(m_database);
        if (!report.latest(filterOf(parameters), parameters.limit, [&list](const DeviceRecord &r) { list.append(r.toJson()); },
                           e))
            return false;
        *o = QJsonObject{{QStringLiteral("records"), list}};
        return true;
    }, out, error);
}

bool LineData::hours(const LineParameters &parameters, QJsonObject *out, QString *error)
{
    return cached(keyOf(QStringLiteral("hours"), parameters), [this, parameters](QJsonObject *o, QString *e) {
        const QDateTime now = this->now();
        const QDateTime since = parameters.sinceTime(now.addSecs(-23 * 3600));
        QList<HourCounts> hours;
        ProductionReport report(m_database);
        if (!report.hours(since, &hours, e))
            return false;
        QJsonArray list;
        for (const HourCounts &h : hours)
            list.append(with(countsJson(h.counts), QStringLiteral("hour"), isoTime(h.hour)));
        *o = QJsonObject{{QStringLiteral("since"), isoTime(since)}, {QStringLiteral("hours"), list}};
        return true;
    }, out, error);
}

bool LineData::csv(const LineParameters &parameters, QByteArray *out, QString *error)
{
    QByteArray text = DeviceRecord::csvHeader().toUtf8() + '\n';
    ProductionReport report(m_database);
    if (!report.records(parameters.since, [&text](const DeviceRecord &r) { text += r.csvRow().toUtf8() + '\n'; }, error))
        return false;
    *out = text;
    return true;
}
