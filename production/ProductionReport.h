#pragma once

#include <QString>
#include <functional>

class ProductionDatabase;

// The quality engineer's view of the production records: how many devices
// passed and failed, by day (the benches' calendar), by device and in all;
// or every record as CSV with the log file's columns.
class ProductionReport
{
public:
    explicit ProductionReport(ProductionDatabase &database);

    // since: empty for all, a day "2026-12-01" or an ISO-8601 time.
    bool summary(const QString &since, QString *text, QString *error);
    // Each line without its end: the header, then one record a line.
    bool csv(const QString &since, const std::function<void(const QString &line)> &write, QString *error);

private:
    ProductionDatabase &m_database;
};
