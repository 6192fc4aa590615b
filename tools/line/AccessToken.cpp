#include "AccessToken.h"

#include "LineHttp.h"

#include <QCryptographicHash>
#include <QFile>

namespace {

bool tokenCharacter(char c)
{
    // RFC 6750's b64token, a subset of what a cookie value may hold.
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
           || c == '_' || c == '~' || c == '+' || c == '/' || c == '=';
}

QByteArray digestOf(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256);
}

} // namespace

bool AccessToken::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("The token file %1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray text = file.read(MaximumLength + 2);
    if (!set(text.left(text.indexOf('\n') < 0 ? text.size() : text.indexOf('\n')).trimmed(), error)) {
        *error = QStringLiteral("The token file %1: %2").arg(path, *error);
        return false;
    }
    return true;
}

bool AccessToken::set(const QByteArray &token, QString *error)
{
    if (token.size() < MinimumLength || token.size() > MaximumLength) {
        *error = QStringLiteral("the token must be %1 to %2 characters long").arg(MinimumLength).arg(MaximumLength);
        return false;
    }
    for (const char c : token)
        if (!tokenCharacter(c)) {
            *error = QStringLiteral("the token may hold only letters, digits and - . _ ~ + / =");
            return false;
        }
    m_token = token;
    m_digest = digestOf(token);
    return true;
}

bool AccessToken::matches(const QByteArray &candidate) const
{
    if (!isRequired())
        return true;
    // Digests have one length whatever the candidate's, so the time taken
    // says nothing about how much of the token was right.
    const QByteArray digest = digestOf(candidate);
    unsigned char differ = 0;
    for (qsizetype i = 0; i < m_digest.size(); ++i)
        differ |= static_cast<unsigned char>(m_digest[i] ^ digest[i]);
    return differ == 0 && !candidate.isEmpty();
}

bool AccessToken::admits(const LineRequest &request) const
{
    if (!isRequired())
        return true;
    const QByteArray bearer = bearerOf(request.header("Authorization"));
    if (!bearer.isEmpty())
        return matches(bearer);
    return matches(cookieOf(request.header("Cookie"), CookieName));
}

QByteArray AccessToken::cookieHeader() const
{
    return QByteArray(CookieName) + '=' + m_token + "; Path=/; HttpOnly; SameSite=Strict";
}

QByteArray AccessToken::bearerOf(const QByteArray &authorization)
{
    const QByteArray text = authorization.trimmed();
    const qsizetype blank = text.indexOf(' ');
    if (blank < 0 || text.left(blank).compare("Bearer", Qt::CaseInsensitive) != 0)
        return QByteArray();
    return text.mid(blank + 1).trimmed();
}

QByteArray AccessToken::cookieOf(const QByteArray &cookieHeader, const QByteArray &name)
{
    for (const QByteArray &pair : cookieHeader.split(';')) {
        const qsizetype equals = pair.indexOf('=');
        if (equals > 0 && pair.left(equals).trimmed() == name) {
            QByteArray value = pair.mid(equals + 1).trimmed();
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return QByteArray();
}
