#include "LineServer.h"

#include "LineApi.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get: return "GET";
    case QHttpServerRequest::Method::Head: return "HEAD";
    case QHttpServerRequest::Method::Post: return "POST";
    case QHttpServerRequest::Method::Put: return "PUT";
    case QHttpServerRequest::Method::Delete: return "DELETE";
    default: return "OTHER";
    }
}

} // namespace

LineServer::LineServer(LineApi &api, QObject *parent) : QAbstractHttpServer(parent), m_api(api) {}

bool LineServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    LineRequest line;
    line.method = methodName(request.method());
    line.path = request.url().path();
    line.query = request.query();
    line.headers = request.headers();
    const LineResponse response = m_api.handle(line);

    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(response.status));
    responder.writeHeader("Content-Type", response.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(response.body.size()));
    for (const auto &[name, value] : response.headers)
        responder.writeHeader(name, value);
    responder.writeBody(response.body);
    return true;
}

void LineServer::missingHandler(const QHttpServerRequest &, QTcpSocket *)
{
    // handleRequest() answers every request.
}
