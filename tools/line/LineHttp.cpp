#include "LineHttp.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

// The host of a Host header ("localhost:8040" -> "localhost", "[::1]:80" ->
// "::1"); false when the header is not host[:port].
bool hostOf(const QByteArray &header, QString *host)
{
    const QString text = QString::fromLatin1(header.trimmed());
    qsizetype end = 0;
    if (text.startsWith(QLatin1Char('['))) {
        end = text.indexOf(QLatin1Char(']'));
        if (end < 0)
            return false;
        *host = text.mid(1, end - 1);
        ++end;
    } else {
        end = text.indexOf(QLatin1Char(':'));
        if (end < 0)
            end = text.size();
        *host = text.left(end);
    }
    // The port's digits may be none (RFC 3986), but nothing else may follow.
    const QStringView rest = QStringView(text).mid(end);
    if (rest.isEmpty())
        return true;
    if (rest.front() != QLatin1Char(':'))
        return false;
    for (const QChar c : rest.mid(1))
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace

bool LineRequest::namesThisMachine(const QByteArray &hostHeader)
{
    if (hostHeader.isEmpty())
        return true;
    QString host;
    if (!hostOf(hostHeader, &host))
        return false;
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

QByteArray LineRequest::header(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return QByteArray();
}

LineRequest LineRequest::get(const QString &pathAndQuery, const QList<QPair<QByteArray, QByteArray>> &headers)
{
    const QUrl url(pathAndQuery);
    LineRequest request;
    request.path = url.path();
    request.query = QUrlQuery(url);
    request.headers = headers;
    return request;
}

LineResponse LineResponse::jsonError(int status, const QString &text)
{
    LineResponse response;
    response.status = status;
    response.contentType = "application/json";
    response.body = QJsonDocument(QJsonObject{{QStringLiteral("error"), text}}).toJson(QJsonDocument::Compact);
    return response;
}
