#include "DatabaseLocation.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

const char *const PasswordRefused =
    "A password in the database location is refused: put it in the .pgpass file (or the file PGPASSFILE names).";

QString decoded(const QString &part)
{
    return QUrl::fromPercentEncoding(part.toUtf8());
}

// A password anywhere in a server's location: a ':' in what comes before
// the last '@' (the user's part, which may itself hold '/', '?' or '@' when
// the password does), or a password setting in the query. Looked for
// before anything else is read, so no other message can show it.
bool holdsPassword(const QString &rest)
{
    const qsizetype at = rest.lastIndexOf(QLatin1Char('@'));
    if (at >= 0 && rest.left(at).contains(QLatin1Char(':')))
        return true;
    const qsizetype q = rest.indexOf(QLatin1Char('?'));
    if (q < 0)
        return false;
    for (const QString &pair : rest.mid(q + 1).split(QLatin1Char('&'))) {
        const QString key = decoded(pair.left(pair.indexOf(QLatin1Char('=')))).trimmed();
        if (key.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

DatabaseLocation DatabaseLocation::parse(const QString &text)
{
    DatabaseLocation location;
    location.m_text = text;
    if (text.trimmed().isEmpty()) {
        location.fail(QStringLiteral("The database location is empty."));
        return location;
    }
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*)://"));
    const QRegularExpressionMatch match = scheme.match(text);
    if (!match.hasMatch()) {
        location.m_kind = Kind::Sqlite;
        location.m_filePath = text;
        return location;
    }
    const QString name = match.captured(1).toLower();
    if (name != QLatin1String("postgresql") && name != QLatin1String("postgres")) {
        location.fail(QStringLiteral("Unknown database kind \"%1\": give a file path (SQLite) or postgresql://user@host/dbname.")
                          .arg(match.captured(1)));
        return location;
    }
    if (holdsPassword(text.mid(match.capturedLength()))) {
        // Kept out of every message: the text given is not repeated.
        location.m_text = match.captured(0);
        location.fail(QLatin1String(PasswordRefused));
        return location;
    }
    if (location.parsePostgres(text.mid(match.capturedLength())))
        location.m_kind = Kind::Postgres;
    return location;
}

bool DatabaseLocation::parsePostgres(const QString &rest)
{
    QString main = rest;
    QString query;
    if (const int q = main.indexOf(QLatin1Char('?')); q >= 0) {
        query = main.mid(q + 1);
        main.truncate(q);
    }
    const int slash = main.indexOf(QLatin1Char('/'));
    if (slash < 0 || slash == main.size() - 1)
        return fail(QStringLiteral("The database location %1 names no database: postgresql://user@host/dbname.").arg(m_text));
    QString authority = main.left(slash);
    m_database = decoded(main.mid(slash + 1));

    if (const int at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        m_user = decoded(userInfo);
    }
    // host, [v6 host], host:port, :port
    QString portText;
    if (authority.startsWith(QLatin1Char('['))) {
        const int close = authority.indexOf(QLatin1Char(']'));
        if (close < 0)
            return fail(QStringLiteral("The host in %1 lacks its closing ].").arg(m_text));
        m_host = authority.mid(1, close - 1);
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))
            return fail(QStringLiteral("Unexpected text after the host in %1.").arg(m_text));
        portText = after.mid(1);
    } else {
        const int colon = authority.lastIndexOf(QLatin1Char(':'));
        m_host = decoded(colon < 0 ? authority : authority.left(colon));
        if (colon >= 0)
            portText = authority.mid(colon + 1);
    }
    if (!portText.isEmpty() && !setPort(portText))
        return false;

    for (const QString &pair : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const int eq = pair.indexOf(QLatin1Char('='));
        const QString key = pair.left(eq);
        const QString value = eq < 0 ? QString() : decoded(pair.mid(eq + 1));
        if (key == QLatin1String("host"))
            m_host = value;
        else if (key == QLatin1String("port")) {
            if (!setPort(value))
                return false;
        } else if (key == QLatin1String("user"))
            m_user = value;
        else
            return fail(QStringLiteral("Unknown setting \"%1\" in the database location (known: host, port, user).").arg(key));
    }
    return true;
}

bool DatabaseLocation::setPort(const QString &text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return fail(QStringLiteral("The port \"%1\" in the database location is not a number from 1 to 65535.").arg(text));
    m_port = port;
    return true;
}

bool DatabaseLocation::fail(const QString &message)
{
    m_kind = Kind::Invalid;
    m_error = message;
    return false;
}
