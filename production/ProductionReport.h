#pragma once

#include <QString>
#include <functional>

class DeviceRecord;
class ProductionDatabase;
struct RecordSummary;

// The quality engineer's questions to the production records, answered as
// data for whoever lays it out (tarvo-cli's report, a dashboard's JSON):
// how many devices passed and failed by day, by device and in all; and the
// records themselves. since: empty for all, a day "2026-12-01" of the
// benches' calendar or an ISO-8601 time.
class ProductionReport
{
public:
    explicit ProductionReport(ProductionDatabase &database);

    // False with the text to show when since is neither a day nor a time.
    static bool checkSince(const QString &since, QString *error);
    bool summary(const QString &since, RecordSummary *summary, QString *error);
    // Each record, oldest first; nothing is visited when since is refused.
    bool records(const QString &since, const std::function<void(const DeviceRecord &)> &visit, QString *error);

private:
    ProductionDatabase &m_database;
};
