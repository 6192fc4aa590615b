#include "ProductionReport.h"

#include "DeviceRecord.h"
#include "ProductionDatabase.h"
#include "RecordField.h"
#include "RecordTally.h"
#include "SqlRecordStore.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace {

// The hour a time falls in, in UTC.
QDateTime hourOf(const QDateTime &time)
{
    const QDateTime utc = time.toUTC();
    return QDateTime(utc.date(), QTime(utc.time().hour(), 0), Qt::UTC);
}

} // namespace

ProductionReport::ProductionReport(ProductionDatabase &database) : m_database(database) {}

bool ProductionReport::checkSince(const QString &since, QString *error)
{
    QString clause;
    QVariantList values;
    return SqlRecordStore::sinceFilter(since, &clause, &values, error);
}

QString ProductionReport::column(const char *name) const
{
    for (const RecordField &f : RecordField::all())
        if (qstrcmp(f.column, name) == 0)
            return f.columnIn(m_database.recordForm());
    Q_UNREACHABLE();
}

bool ProductionReport::where(const ReportFilter &filter, QString *clause, QVariantList *values, QString *error) const
{
    if (!SqlRecordStore::sinceFilter(filter.since, clause, values, error))
        return false;
    // The texts go in as values the driver escapes, never as SQL.
    const auto add = [&](const char *name, const QString &value) {
        if (value.isEmpty())
            return;
        *clause += clause->isEmpty() ? QLatin1String(" WHERE ") : QLatin1String(" AND ");
        *clause += column(name) + QLatin1String(" = ?");
        *values << value;
    };
    add("job_name", filter.job);
    add("lot", filter.lot);
    return true;
}

bool ProductionReport::summary(const QString &since, RecordSummary *summary, QString *error)
{
    return this->summary(ReportFilter{since, QString(), QString()}, summary, error);
}

bool ProductionReport::summary(const ReportFilter &filter, RecordSummary *summary, QString *error)
{
    QString clause;
    QVariantList values;
    if (!where(filter, &clause, &values, error))
        return false;
    *summary = RecordSummary();
    if (m_database.schemaVersion() < RecordTally::SinceVersion)
        return countRecords(clause, values, summary, error);
    // Whole days from the tally; a time within a (UTC) day counts the
    // records of the rest of its day one by one.
    QString tallyClause;
    QVariantList tallyValues;
    const auto add = [&](const QString &condition, const QVariant &value) {
        tallyClause += tallyClause.isEmpty() ? QLatin1String(" WHERE ") : QLatin1String(" AND ");
        tallyClause += condition;
        tallyValues << value;
    };
    // where() took a since of ten characters as a day, any other as a time.
    if (filter.since.size() == 10) {
        add(QStringLiteral("record_day >= ?"), values.constFirst());
    } else if (!filter.since.isEmpty()) {
        const QDateTime time = QDateTime::fromString(filter.since, Qt::ISODateWithMs);
        const QDateTime day(time.toUTC().date(), QTime(0, 0), Qt::UTC);
        const QDateTime nextDay = day == time ? day : day.addDays(1);
        add(QStringLiteral("utc_day >= ?"), nextDay.date().toString(Qt::ISODate));
        if (nextDay != time
            && !countRecords(clause + QLatin1String(" AND recorded_utc < ?"), values + QVariantList{RecordField::utcText(nextDay)},
                             summary, error))
            return false;
    }
    if (!filter.job.isEmpty())
        add(QStringLiteral("job_name = ?"), filter.job);
    if (!filter.lot.isEmpty())
        add(QStringLiteral("lot = ?"), filter.lot);
    if (!RecordTally::addTo(m_database, tallyClause, tallyValues, summary)) {
        *error = m_database.faultText(m_database.lastFault());
        return false;
    }
    return true;
}

bool ProductionReport::countRecords(const QString &clause, const QVariantList &values, RecordSummary *summary,
                                    QString *error)
{
    // One pass over the records asked for, grouped by everything a grouping
    // needs and by the texts a failure ended with (failures repeat the same
    // few texts); the groupings are added up here. One statement keeps the
    // planner on one index for the filter.
    QSqlQuery query = m_database.newQuery();
    query.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT record_day, device, %1, %2, host, port, passed, "
                                       "CASE WHEN passed = 0 THEN outcome END, COUNT(*) FROM tarvo_records%3 "
                                       "GROUP BY 1, 2, 3, 4, 5, 6, 7, 8")
                            .arg(column("job_name"), column("lot"), clause);
    if (!m_database.exec(query, sql, values)) {
        *error = m_database.faultText(m_database.lastFault());
        return false;
    }
    QHash<QString, QString> stepOfText;
    while (query.next()) {
        QStringList group;
        for (int i = 0; i < 6; ++i)
            group << query.value(i).toString();
        const bool passed = query.value(6).toInt() != 0;
        RecordTally::add(summary, group, passed, passed ? QString() : RecordTally::failedStepOf(query.value(7), &stepOfText),
                         query.value(8).toLongLong());
    }
    return true;
}

bool ProductionReport::records(const QString &since, const std::function<void(const DeviceRecord &)> &visit,
                               QString *error)
{
    return SqlRecordStore::read(m_database, since, visit, error);
}

bool ProductionReport::latest(const ReportFilter &filter, int limit,
                              const std::function<void(const DeviceRecord &)> &visit, QString *error)
{
    if (limit < 1) {
        *error = QStringLiteral("The number of records must be 1 or more, not %1.").arg(limit);
        return false;
    }
    QString clause;
    QVariantList values;
    if (!where(filter, &clause, &values, error))
        return false;
    values << limit;
    QSqlQuery query = m_database.newQuery();
    query.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %1 FROM tarvo_records%2 ORDER BY recorded_utc DESC, id DESC LIMIT ?")
                            .arg(RecordField::recordColumns(m_database.recordForm()), clause);
    if (!m_database.exec(query, sql, values)) {
        *error = m_database.faultText(m_database.lastFault());
        return false;
    }
    while (query.next())
        visit(SqlRecordStore::recordAt(query));
    return true;
}

bool ProductionReport::checkHours(const QDateTime &since, QString *error)
{
    if (!since.isValid()) {
        *error = QStringLiteral("The hours need a time to start from.");
        return false;
    }
    // Whole hours, as hours() lists them: not the seconds between.
    if (hourOf(since).secsTo(hourOf(QDateTime::currentDateTimeUtc())) / 3600 >= MaxHours) {
        *error = QStringLiteral("The hours go back %1 days at most, not to %2.")
                     .arg(MaxHours / 24)
                     .arg(RecordField::timeText(since));
        return false;
    }
    return true;
}

bool ProductionReport::hours(const QDateTime &since, QList<HourCounts> *hours, QString *error)
{
    hours->clear();
    if (!checkHours(since, error))
        return false;
    const QDateTime first = hourOf(since);
    const QDateTime last = hourOf(QDateTime::currentDateTimeUtc());
    if (first > last)
        return true;
    for (QDateTime hour = first; hour <= last; hour = hour.addSecs(3600))
        hours->append({hour, {}});
    // The UTC texts sort as the times do; their first 13 characters name the hour.
    QSqlQuery query = m_database.newQuery();
    query.setForwardOnly(true);
    if (!m_database.exec(query,
                         QStringLiteral("SELECT SUBSTR(recorded_utc, 1, 13), passed, COUNT(*) FROM tarvo_records "
                                        "WHERE recorded_utc >= ? AND recorded_utc < ? GROUP BY 1, 2"),
                         {RecordField::utcText(first), RecordField::utcText(last.addSecs(3600))})) {
        hours->clear();
        *error = m_database.faultText(m_database.lastFault());
        return false;
    }
    while (query.next()) {
        const QDateTime hour = QDateTime::fromString(query.value(0).toString() + QLatin1String(":00:00Z"), Qt::ISODate);
        const qint64 index = first.secsTo(hour) / 3600;
        if (!hour.isValid() || index < 0 || index >= hours->size())
            continue;
        RecordCounts &c = (*hours)[index].counts;
        (query.value(1).toInt() != 0 ? c.passed : c.failed) += query.value(2).toLongLong();
    }
    return true;
}
