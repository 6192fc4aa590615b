#include "AnswerCutter.h"

#include <QtEndian>
#include <cerrno>
#include <fcntl.h>
#include <cstring>
#include <list>
#include <vector>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr char SocketName[] = "/.s.PGSQL.5432";
// A request for an encrypted channel, answered by one untyped byte.
constexpr quint32 SslRequest = 80877103;
constexpr quint32 GssRequest = 80877104;

bool address(const QString &path, sockaddr_un *where)
{
    const QByteArray bytes = path.toLocal8Bit();
    if (size_t(bytes.size()) >= sizeof(where->sun_path))
        return false;
    std::memset(where, 0, sizeof(*where));
    where->sun_family = AF_UNIX;
    std::memcpy(where->sun_path, bytes.constData(), size_t(bytes.size()));
    return true;
}

bool sendAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

struct AnswerCutter::Pipe
{
    int client = -1;
    int server = -1;
    // Bytes received and not yet taken apart, each way.
    QByteArray fromClient;
    QByteArray fromServer;
    // The client's next message has no type byte (the start-up message).
    bool clientUntyped = true;
    // Untyped bytes the server still owes (answers to encryption requests).
    int serverUntyped = 0;
    // The armed query went out on this connection.
    bool queryAsked = false;
};

AnswerCutter::AnswerCutter(const QString &serverDir, const QString &proxyDir)
    : m_serverSocket(serverDir + QLatin1String(SocketName))
    , m_proxySocket(proxyDir + QLatin1String(SocketName))
{
}

AnswerCutter::~AnswerCutter()
{
    if (m_thread.joinable()) {
        const char stop = 'x';
        (void)!::write(m_wake[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : {m_listen, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
    ::unlink(m_proxySocket.toLocal8Bit().constData());
}

bool AnswerCutter::start(QString *error)
{
    sockaddr_un where;
    if (!address(m_proxySocket, &where) || !address(m_serverSocket, &where)) {
        *error = QStringLiteral("socket path too long");
        return false;
    }
    address(m_proxySocket, &where);
    ::unlink(where.sun_path);
    m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr *>(&where), sizeof(where)) < 0
        || ::listen(m_listen, 16) < 0 || ::pipe2(m_wake, O_CLOEXEC) < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_thread = std::thread([this] { loop(); });
    return true;
}

void AnswerCutter::arm(const QByteArray &queryPiece, const QByteArray &tag)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_piece = queryPiece;
    m_tag = tag;
}

bool AnswerCutter::fromClient(Pipe &pipe)
{
    // Forwarded as it comes; read only to see which query goes out.
    for (;;) {
        const int head = pipe.clientUntyped ? 0 : 1;
        if (pipe.fromClient.size() < head + 4)
            return true;
        const quint32 length = qFromBigEndian<quint32>(pipe.fromClient.constData() + head);
        if (length < 4)
            return false;
        if (pipe.fromClient.size() < head + qsizetype(length))
            return true;
        if (pipe.clientUntyped) {
            const quint32 code = length >= 8 ? qFromBigEndian<quint32>(pipe.fromClient.constData() + 4) : 0;
            if (code == SslRequest || code == GssRequest)
                ++pipe.serverUntyped;
            else
                pipe.clientUntyped = false;
        } else if (pipe.fromClient.at(0) == 'Q') {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_piece.isEmpty() && pipe.fromClient.mid(5, length - 4).contains(m_piece))
                pipe.queryAsked = true;
        }
        pipe.fromClient.remove(0, head + length);
    }
}

bool AnswerCutter::fromServer(Pipe &pipe)
{
    for (;;) {
        if (pipe.serverUntyped > 0 && !pipe.fromServer.isEmpty()) {
            if (!sendAll(pipe.client, pipe.fromServer.constData(), 1))
                return false;
            pipe.fromServer.remove(0, 1);
            --pipe.serverUntyped;
            continue;
        }
        if (pipe.fromServer.size() < 5)
            return true;
        const quint32 length = qFromBigEndian<quint32>(pipe.fromServer.constData() + 1);
        if (length < 4)
            return false;
        const qsizetype whole = 1 + qsizetype(length);
        if (pipe.fromServer.size() < whole)
            return true;
        if (pipe.queryAsked && pipe.fromServer.at(0) == 'C') {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_tag.isEmpty() && pipe.fromServer.mid(5).startsWith(m_tag)) {
                // The answer is lost: nothing of it reaches the client.
                m_piece.clear();
                m_tag.clear();
                ++m_cuts;
                return false;
            }
        }
        if (!sendAll(pipe.client, pipe.fromServer.constData(), whole))
            return false;
        pipe.fromServer.remove(0, whole);
    }
}

void AnswerCutter::loop()
{
    std::list<Pipe> pipes;
    const auto end = [](Pipe &p) {
        ::close(p.client);
        ::close(p.server);
        p.client = p.server = -1;
    };
    for (;;) {
        std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
        for (const Pipe &p : pipes) {
            fds.push_back({p.client, POLLIN, 0});
            fds.push_back({p.server, POLLIN, 0});
        }
        if (::poll(fds.data(), nfds_t(fds.size()), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            sockaddr_un where;
            address(m_serverSocket, &where);
            const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (client >= 0 && server >= 0
                && ::connect(server, reinterpret_cast<sockaddr *>(&where), sizeof(where)) == 0) {
                pipes.push_back(Pipe{client, server, {}, {}, true, 0, false});
                ++m_connections;
            } else {
                for (int fd : {client, server})
                    if (fd >= 0)
                        ::close(fd);
            }
        }
        std::size_t i = 2;
        for (Pipe &p : pipes) {
            const short clientEvents = fds[i++].revents;
            const short serverEvents = fds[i++].revents;
            char buffer[65536];
            bool open = true;
            if (clientEvents) {
                const ssize_t n = ::recv(p.client, buffer, sizeof(buffer), 0);
                open = n > 0 && sendAll(p.server, buffer, n);
                if (open) {
                    p.fromClient.append(buffer, n);
                    open = fromClient(p);
                }
            }
            if (open && serverEvents) {
                const ssize_t n = ::recv(p.server, buffer, sizeof(buffer), 0);
                open = n > 0;
                if (open) {
                    p.fromServer.append(buffer, n);
                    open = fromServer(p);
                }
            }
            if (!open)
                end(p);
        }
        pipes.remove_if([](const Pipe &p) { return p.client < 0; });
    }
    for (Pipe &p : pipes)
        end(p);
}
