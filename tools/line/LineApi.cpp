#include "LineApi.h"

#include "HourChart.h"
#include "LineData.h"
#include "LinePage.h"
#include "ProductionReport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

LineResponse answer(const QByteArray &contentType, const QByteArray &body)
{
    LineResponse response;
    response.contentType = contentType;
    response.body = body;
    return response;
}

LineResponse json(const QJsonObject &object)
{
    return answer("application/json", QJsonDocument(object).toJson(QJsonDocument::Compact));
}

LineResponse resource(const QString &path, const QByteArray &contentType)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return LineResponse::jsonError(500, QStringLiteral("The page's file %1 is missing from the program.").arg(path));
    return answer(contentType, file.readAll());
}

void addCommonHeaders(LineResponse *response)
{
    response->addHeader("Cache-Control", "no-store");
    response->addHeader("X-Content-Type-Options", "nosniff");
    response->addHeader("Referrer-Policy", "no-referrer");
    response->addHeader("Content-Security-Policy",
                              "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                              "connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'");
}

} // namespace

LineApi::LineApi(LineData &data, const AccessToken &token) : m_data(data), m_token(token)
{
    // The page's files live in this static library: named here, the linker keeps them.
    Q_INIT_RESOURCE(line);
}

const QList<LineApi::Route> &LineApi::routes()
{
    static const QList<Route> table = {
        {"/", {}, &LineApi::page},
        {"/line.css", {}, &LineApi::css},
        {"/line.js", {}, &LineApi::script},
        {"/api/benches", {}, &LineApi::benches},
        // since: a day or a time; job and lot: exact names.
        {"/api/summary", {QStringLiteral("since"), QStringLiteral("job"), QStringLiteral("lot")}, &LineApi::summary},
        // limit: 1 to 1000, 50 when not given.
        {"/api/records",
         {QStringLiteral("since"), QStringLiteral("limit"), QStringLiteral("job"), QStringLiteral("lot")},
         &LineApi::records},
        // since: at most a month back; the last 24 hours when not given.
        {"/api/hours", {QStringLiteral("since")}, &LineApi::hours},
        // t: ignored; the page changes it to load a new picture.
        {"/hours.svg", {QStringLiteral("since"), QStringLiteral("t")}, &LineApi::hoursSvg},
        {"/export.csv", {QStringLiteral("since")}, &LineApi::exportCsv},
    };
    return table;
}

LineResponse LineApi::handle(const LineRequest &request)
{
    LineResponse response;
    const Route *route = nullptr;
    for (const Route &r : routes())
        if (request.path == QLatin1String(r.path))
            route = &r;
    if (request.method != "GET") {
        response = LineResponse::jsonError(405, QStringLiteral("Only GET is answered here."));
        response.addHeader("Allow", "GET");
    } else if (!m_token.isRequired() && !LineRequest::namesThisMachine(request.header("Host"))) {
        // Without a token only this machine is served; a page elsewhere
        // whose name was pointed at 127.0.0.1 does not get the line's data.
        response = LineResponse::jsonError(
            403, QStringLiteral("This dashboard answers only as localhost; start it with --token-file to serve other names."));
    } else if (request.path == QLatin1String("/login")) {
        response = login(request);
    } else if (!m_token.admits(request)) {
        response = LineResponse::jsonError(
            401, QStringLiteral("This dashboard wants its token: open /login?token=TOKEN once, or send Authorization: Bearer TOKEN."));
        response.addHeader("WWW-Authenticate", "Bearer");
    } else if (!route) {
        response = LineResponse::jsonError(404, QStringLiteral("Nothing is at %1.").arg(request.path.left(100)));
    } else {
        LineParameters parameters;
        QString error;
        response = LineParameters::parse(request.query, route->parameters, &parameters, &error)
                       ? (this->*route->answer)(parameters)
                       : LineResponse::jsonError(400, error);
    }
    addCommonHeaders(&response);
    return response;
}

LineResponse LineApi::login(const LineRequest &request)
{
    const QList<QPair<QString, QString>> items = request.query.queryItems(QUrl::FullyDecoded);
    if (items.size() != 1 || items.first().first != QLatin1String("token"))
        return LineResponse::jsonError(400, QStringLiteral("/login takes one parameter, token."));
    if (!m_token.matches(items.first().second.toUtf8()))
        return LineResponse::jsonError(401, QStringLiteral("That is not this dashboard's token."));
    LineResponse response = answer("text/plain; charset=utf-8", "Signed in; the page is at /.\n");
    response.status = 303;
    response.addHeader("Location", "/");
    if (m_token.isRequired())
        response.addHeader("Set-Cookie", m_token.cookieHeader());
    return response;
}

LineResponse LineApi::page(const LineParameters &)
{
    LinePage::Content content;
    content.today = m_data.now().date().toString(Qt::ISODate);
    LineParameters today;
    today.since = content.today;
    LineParameters latest;
    QString error;
    if (!m_data.benches(&content.benches, &error) || !m_data.summary(today, &content.summary, &error)
        || !m_data.records(latest, &content.records, &error))
        return LineResponse::jsonError(503, error);
    return answer("text/html; charset=utf-8", LinePage::html(content));
}

LineResponse LineApi::css(const LineParameters &)
{
    return resource(QStringLiteral(":/line/line.css"), "text/css; charset=utf-8");
}

LineResponse LineApi::script(const LineParameters &)
{
    return resource(QStringLiteral(":/line/line.js"), "text/javascript; charset=utf-8");
}

LineResponse LineApi::benches(const LineParameters &)
{
    QJsonObject out;
    QString error;
    return m_data.benches(&out, &error) ? json(out) : LineResponse::jsonError(503, error);
}

LineResponse LineApi::summary(const LineParameters &parameters)
{
    QJsonObject out;
    QString error;
    return m_data.summary(parameters, &out, &error) ? json(out) : LineResponse::jsonError(503, error);
}

LineResponse LineApi::records(const LineParameters &parameters)
{
    QJsonObject out;
    QString error;
    return m_data.records(parameters, &out, &error) ? json(out) : LineResponse::jsonError(503, error);
}

bool LineApi::hoursSince(const LineParameters &parameters, QString *error) const
{
    // The query's own rule: a since it would refuse is the asker's mistake.
    return ProductionReport::checkHours(parameters.sinceTime(m_data.now()), error);
}

LineResponse LineApi::hours(const LineParameters &parameters)
{
    QString error;
    if (!hoursSince(parameters, &error))
        return LineResponse::jsonError(400, error);
    QJsonObject out;
    return m_data.hours(parameters, &out, &error) ? json(out) : LineResponse::jsonError(503, error);
}

LineResponse LineApi::hoursSvg(const LineParameters &parameters)
{
    QString error;
    if (!hoursSince(parameters, &error))
        return LineResponse::jsonError(400, error);
    QJsonObject out;
    if (!m_data.hours(parameters, &out, &error))
        return LineResponse::jsonError(503, error);
    QList<HourChart::Bar> bars;
    for (const QJsonValue &v : out.value(QStringLiteral("hours")).toArray()) {
        const QJsonObject h = v.toObject();
        const QDateTime hour = QDateTime::fromString(h.value(QStringLiteral("hour")).toString(), Qt::ISODate);
        // Hours are UTC; the supervisor reads the line's own clock.
        bars.append({hour.toLocalTime().toString(QStringLiteral("HH:mm")), h.value(QStringLiteral("passed")).toInteger(),
                     h.value(QStringLiteral("failed")).toInteger()});
    }
    return answer("image/svg+xml", HourChart::svg(bars).toUtf8());
}

LineResponse LineApi::exportCsv(const LineParameters &parameters)
{
    QString error;
    qint64 records = 0;
    if (!m_data.devices(parameters, &records, &error))
        return LineResponse::jsonError(503, error);
    if (records > m_mostExported)
        return LineResponse::jsonError(413, QStringLiteral("%1 records are more than %2 at once: give since for a shorter span, "
                                                           "or use tarvo-cli --report --csv.")
                                                .arg(records)
                                                .arg(m_mostExported));
    QByteArray text;
    if (!m_data.csv(parameters, &text, &error))
        return LineResponse::jsonError(503, error);
    LineResponse response = answer("text/csv; charset=utf-8", text);
    response.addHeader("Content-Disposition", "attachment; filename=\"tarvo-records.csv\"");
    return response;
}
