#pragma once

#include <QHostAddress>
#include <QString>

// Where tarvo-line listens, from --listen ADDR:PORT: a numeric IPv4 address
// or a bracketed IPv6 one ([::1]:8040), or "localhost"; port 0 lets the
// system choose. Names other than localhost are refused: a name could
// resolve to an address the operator did not mean to open.
class ListenAddress
{
public:
    static constexpr quint16 DefaultPort = 8040;

    // 127.0.0.1:8040
    ListenAddress();
    // Invalid with error() set when text is no address and port.
    static ListenAddress parse(const QString &text);

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QHostAddress address() const { return m_address; }
    quint16 port() const { return m_port; }
    // Only this machine can connect: no token is needed.
    bool isLocal() const { return m_address.isLoopback(); }
    // "127.0.0.1:8040", "[::1]:8040", with the port given.
    QString text(quint16 port) const;

private:
    QHostAddress m_address;
    quint16 m_port;
    QString m_error;
};
