#pragma once

#include "AccessToken.h"
#include "LineHttp.h"
#include "LineParameters.h"

class LineData;

// tarvo-line's answers, one route table: the page and its files, the JSON
// API, the chart and the CSV export. Only GET; every parameter checked
// (400 with a JSON error); with a token, nothing but /login is answered
// without it (401); without one, only requests to this machine's own name
// (403 otherwise). Every answer is marked not to be cached and carries a
// content security policy that allows nothing from elsewhere.
class LineApi
{
public:
    LineApi(LineData &data, const AccessToken &token);

    // /export.csv answers at most this many records at once (the answer is
    // built in memory, and the dashboard waits while it is): more is a 413
    // that asks for a shorter span.
    static constexpr qint64 MostExported = 100000;
    void setMostExported(qint64 records) { m_mostExported = records; }

    LineResponse handle(const LineRequest &request);

private:
    struct Route
    {
        const char *path;
        // The parameters it takes.
        QStringList parameters;
        LineResponse (LineApi::*answer)(const LineParameters &);
    };
    static const QList<Route> &routes();

    LineResponse page(const LineParameters &);
    LineResponse css(const LineParameters &);
    LineResponse script(const LineParameters &);
    LineResponse benches(const LineParameters &);
    LineResponse summary(const LineParameters &);
    LineResponse records(const LineParameters &);
    LineResponse hours(const LineParameters &);
    LineResponse hoursSvg(const LineParameters &);
    LineResponse exportCsv(const LineParameters &);
    LineResponse login(const LineRequest &request);

    // False when since goes back further than the report answers.
    bool hoursSince(const LineParameters &parameters, QString *error) const;

    LineData &m_data;
    AccessToken m_token;
    qint64 m_mostExported = MostExported;
};
