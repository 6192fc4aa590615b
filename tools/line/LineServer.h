#pragma once

#include <QAbstractHttpServer>

class LineApi;

// The one place that knows the HTTP library: each request goes to
// LineApi as a LineRequest, and its LineResponse goes back whole.
class LineServer : public QAbstractHttpServer
{
    Q_OBJECT

public:
    explicit LineServer(LineApi &api, QObject *parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    LineApi &m_api;
};
