#include "LineServer.h"

#include "LineApi.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>

LineServer::LineServer(LineApi &api, QObject *parent) : QAbstractHttpServer(parent), m_api(api) {}

bool LineServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    LineRequest line;
    // Only GET is answered (LineApi refuses the rest with 405): no other name is needed.
    line.method = request.method() == QHttpServerRequest::Method::Get ? QByteArray("GET") : QByteArray("OTHER");
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
