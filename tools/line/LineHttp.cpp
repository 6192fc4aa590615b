#include "LineHttp.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

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
