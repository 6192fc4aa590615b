#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrlQuery>

// The query parameters of tarvo-line's requests, checked before anything
// reaches the database: only the names a path takes, each at most once,
// since a day or an ISO-8601 time, limit 1 to 1000, job and lot of bounded
// length. They go to the queries as values, never as SQL.
struct LineParameters
{
    static constexpr int MaximumLimit = 1000;
    static constexpr int DefaultLimit = 50;
    static constexpr int MaximumTextLength = 200;

    QString since;
    QString job;
    QString lot;
    int limit = DefaultLimit;

    // allowed: the names this path takes ("since", "job", "lot", "limit").
    // False with the text of the 400 answer.
    static bool parse(const QUrlQuery &query, const QStringList &allowed, LineParameters *parameters, QString *error);
    // since as the start of a time range: a day from its local midnight, a
    // time as given; fallback when since is empty.
    QDateTime sinceTime(const QDateTime &fallback) const;
};
