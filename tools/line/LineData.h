#pragma once

#include "LineParameters.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QString>
#include <functional>

class ProductionDatabase;

// What the dashboard shows, as JSON, from the production database through
// production/'s queries (no SQL here). Each answer is kept for
// CacheMs: however many pages poll, the database is asked each question at
// most once a second.
class LineData
{
public:
    static constexpr int CacheMs = 1000;
    // Answers kept at most (keys come from request parameters).
    static constexpr int CacheEntries = 64;

    explicit LineData(ProductionDatabase &database);

    // {"benches": [...], "now": ...}: each bench's row (gone as BenchBoard
    // decides) and today's counts.
    bool benches(QJsonObject *out, QString *error);
    // {"total", "byDay", "byDevice", "byJobLot", "failedSteps", "retired"}.
    bool summary(const LineParameters &parameters, QJsonObject *out, QString *error);
    // The summary's total devices, without the retired numbers.
    bool devices(const LineParameters &parameters, qint64 *devices, QString *error);
    // {"records": [...]} newest first, at most parameters.limit.
    bool records(const LineParameters &parameters, QJsonObject *out, QString *error);
    // {"hours": [{"hour", "passed", "failed"}]} one per hour from since (the
    // last 24 hours when none) to now.
    bool hours(const LineParameters &parameters, QJsonObject *out, QString *error);
    // The records as tarvo-cli --report --csv prints them, oldest first.
    bool csv(const LineParameters &parameters, QByteArray *out, QString *error);

    QDateTime now() const { return QDateTime::currentDateTime(); }

private:
    using Query = std::function<bool(QJsonObject *, QString *)>;
    bool cached(const QString &key, const Query &query, QJsonObject *out, QString *error);
    // The summary without "retired"; {"retired": [...]}. Each kept apart.
    bool counts(const LineParameters &parameters, QJsonObject *out, QString *error);
    bool retired(QJsonObject *out, QString *error);

    struct Entry
    {
        QElapsedTimer age;
        QJsonObject value;
    };
    ProductionDatabase &m_database;
    QHash<QString, Entry> m_cache;
};
