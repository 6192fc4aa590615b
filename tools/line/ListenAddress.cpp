#include "ListenAddress.h"

ListenAddress::ListenAddress() : m_address(QHostAddress::LocalHost), m_port(DefaultPort) {}

ListenAddress ListenAddress::parse(const QString &text)
{
    ListenAddress result;
    const auto fail = [&](const QString &why) {
        result.m_error = QStringLiteral("--listen wants ADDRESS:PORT (127.0.0.1:8040, 0.0.0.0:8040, [::1]:8040), not \"%1\": %2")
                             .arg(text.left(100), why);
        return result;
    };
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return fail(QStringLiteral("no port"));
    QString host = text.left(colon);
    const QString portText = text.mid(colon + 1);
    if (host.startsWith(QLatin1Char('[')) != host.endsWith(QLatin1Char(']')))
        return fail(QStringLiteral("unbalanced brackets"));
    if (host.startsWith(QLatin1Char('['))) {
        host = host.mid(1, host.size() - 2);
        if (!host.contains(QLatin1Char(':')))
            return fail(QStringLiteral("brackets are for IPv6 addresses"));
    } else if (host.contains(QLatin1Char(':'))) {
        return fail(QStringLiteral("an IPv6 address goes in brackets"));
    }
    // Digits only: toUShort would take blanks and signs.
    bool digits = !portText.isEmpty() && portText.size() <= 5;
    for (const QChar c : portText)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const uint port = digits ? portText.toUInt() : 65536;
    if (port > 65535)
        return fail(QStringLiteral("the port is a number from 0 to 65535"));
    QHostAddress address;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        address = QHostAddress(QHostAddress::LocalHost);
    // A scope (%eth0) or anything QHostAddress tolerates around the digits is
    // refused: the text must be the address itself.
    else if (!address.setAddress(host) || host.contains(QLatin1Char('%')) || host.trimmed() != host)
        return fail(QStringLiteral("\"%1\" is no numeric address").arg(host.left(60)));
    result.m_address = address;
    result.m_port = quint16(port);
    return result;
}

QString ListenAddress::text(quint16 port) const
{
    const QString host = m_address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(m_address.toString())
                             : m_address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}
