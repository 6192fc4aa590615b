#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrlQuery>

// A request as tarvo-line's handlers see it, apart from any HTTP library:
// the tests drive the handlers with these, without a socket.
struct LineRequest
{
    QByteArray method = "GET";
    QString path;
    QUrlQuery query;
    QList<QPair<QByteArray, QByteArray>> headers;

    // The first header of that name (any case); empty when absent.
    QByteArray header(const QByteArray &name) const;
    // A request for path?query with the given headers (tests, the server).
    static LineRequest get(const QString &pathAndQuery, const QList<QPair<QByteArray, QByteArray>> &headers = {});
    // Whether a Host header names this machine: localhost or a loopback
    // address, with at most ":port" (digits) after it; an IPv6 address in
    // brackets that close. No header (an HTTP/1.0 tool) names nothing else.
    static bool namesThisMachine(const QByteArray &hostHeader);
};

struct LineResponse
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    // Beyond Content-Type and Content-Length.
    QList<QPair<QByteArray, QByteArray>> headers;

    void addHeader(const QByteArray &name, const QByteArray &value) { headers.append(qMakePair(name, value)); }
    // {"error": text} with that status.
    static LineResponse jsonError(int status, const QString &text);
};
