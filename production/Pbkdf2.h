#pragma once

#include <QByteArray>

// PBKDF2 with HMAC-SHA256 (RFC 8018, section 5.2): the key a PIN or a
// password gives with a salt after the given number of rounds.
namespace Pbkdf2 {

QByteArray hmacSha256(const QByteArray &password, const QByteArray &salt, int iterations, int length);

} // namespace Pbkdf2
