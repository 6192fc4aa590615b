#pragma once

#include <QByteArray>
#include <QString>

struct LineRequest;

// The secret a request must carry when tarvo-line listens beyond this
// machine: "Authorization: Bearer TOKEN", or the cookie that /login?token=
// sets. Compared in constant time.
class AccessToken
{
public:
    static constexpr char CookieName[] = "tarvo_line_token";
    static constexpr int MinimumLength = 16;
    static constexpr int MaximumLength = 512;

    // No token: every request is admitted (a loopback listener).
    AccessToken() = default;
    // The token from the file's first line (blanks around it dropped); false
    // with the reason when unreadable, too short or holding characters a
    // header or cookie cannot carry.
    bool load(const QString &path, QString *error);
    // The token itself, checked as load() checks a file's.
    bool set(const QByteArray &token, QString *error);

    bool isRequired() const { return !m_token.isEmpty(); }
    bool admits(const LineRequest &request) const;
    // True when candidate is the token (constant time).
    bool matches(const QByteArray &candidate) const;
    // Set-Cookie's value for the token.
    QByteArray cookieHeader() const;

    // The token of "Bearer TOKEN" (scheme in any case); empty for none.
    static QByteArray bearerOf(const QByteArray &authorization);
    // The value of cookie name in a Cookie header ("a=1; b=2"); empty for none.
    static QByteArray cookieOf(const QByteArray &cookieHeader, const QByteArray &name);

private:
    QByteArray m_token;
    QByteArray m_digest;
};
