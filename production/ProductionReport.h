#pragma once

#include "RecordSummary.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>
#include <functional>

class DeviceRecord;
class ProductionDatabase;

// The quality engineer's questions to the production records, answered as
// data for whoever lays it out (tarvo-cli's report, a dashboard's JSON):
// how many devices passed and failed by day, by device, by job and lot, by
// bench and in all, and at which step; the devices of each hour; and the
// records themselves. A database of an older schema is read as it is: the
// fields it lacks read as empty.
class ProductionReport
{
public:
    explicit ProductionReport(ProductionDatabase &database);

    // The longest span hours() answers: a month of hours.
    static constexpr int MaxHours = 31 * 24;

    // False with the text to show when since is neither a day nor a time.
    static bool checkSince(const QString &since, QString *error);
    bool summary(const ReportFilter &filter, RecordSummary *summary, QString *error);
    bool summary(const QString &since, RecordSummary *summary, QString *error);
    // Each record, oldest first; nothing is visited when since is refused.
    bool records(const QString &since, const std::function<void(const DeviceRecord &)> &visit, QString *error);
    // The newest records (by their time, then by the order written), at
    // most limit (1 or more), newest first.
    bool latest(const ReportFilter &filter, int limit, const std::function<void(const DeviceRecord &)> &visit,
                QString *error);
    // One entry per hour (UTC) from the hour of since to the hour now,
    // hours without devices included, oldest first; at most MaxHours
    // (an earlier since is refused). Nothing for a since in a later hour.
    bool hours(const QDateTime &since, QList<HourCounts> *hours, QString *error);
    // False with the text to show when hours() refuses since now: not a
    // time, or its hour MaxHours or more before this one.
    static bool checkHours(const QDateTime &since, QString *error);

private:
    // " WHERE ..." and its values for filter; empty for all.
    bool where(const ReportFilter &filter, QString *clause, QVariantList *values, QString *error) const;
    // Adds the records the clause selects to summary, counted one by one.
    bool countRecords(const QString &clause, const QVariantList &values, RecordSummary *summary, QString *error);
    // The record field's column, or NULL where the table predates it.
    QString column(const char *name) const;

    ProductionDatabase &m_database;
};
