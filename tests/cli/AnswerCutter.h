#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

// A PostgreSQL server's Unix socket behind a proxy of the test's own, on a
// thread of its own (the program under test may block the test's loop): it
// forwards both ways and, once armed, lets one answer get lost. The server
// has done the work and committed it; the client never hears so, sees its
// connection end, and must retry. Armed with a piece of a query and the tag
// of the answer to cut ("INSERT", "UPDATE", "COMMIT"): after a query holding
// that piece, the server's CommandComplete message with that tag is not
// forwarded and the connection is cut on both sides. It cuts once per arming.
class AnswerCutter
{
public:
    // Listens as a server would in proxyDir (.s.PGSQL.5432), forwards to
    // the server's socket in serverDir.
    AnswerCutter(const QString &serverDir, const QString &proxyDir);
    ~AnswerCutter();
    AnswerCutter(const AnswerCutter &) = delete;
    AnswerCutter &operator=(const AnswerCutter &) = delete;

    bool start(QString *error);
    void arm(const QByteArray &queryPiece, const QByteArray &tag);
    // Answers cut so far, and connections taken.
    int cuts() const { return m_cuts; }
    int connections() const { return m_connections; }

private:
    struct Pipe;
    void loop();
    // Whole messages of one direction; false when the connection is to end.
    bool fromClient(Pipe &pipe);
    bool fromServer(Pipe &pipe);

    QString m_serverSocket;
    QString m_proxySocket;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
    std::mutex m_mutex;
    QByteArray m_piece;
    QByteArray m_tag;
    std::atomic<int> m_cuts{0};
    std::atomic<int> m_connections{0};
};
