#include "Pbkdf2.h"

#include <QMessageAuthenticationCode>

#include <QtEndian>

QByteArray Pbkdf2::hmacSha256(const QByteArray &password, const QByteArray &salt, int iterations, int length)
{
    QByteArray key;
    if (iterations < 1 || length < 1)
        return key;
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, password);
    for (quint32 block = 1; key.size() < length; ++block) {
        // U1 = PRF(P, S || INT(i)); T = U1 ^ U2 ^ ... ^ Uc.
        QByteArray index(4, Qt::Uninitialized);
        qToBigEndian(block, index.data());
        mac.reset();
        mac.addData(salt);
        mac.addData(index);
        QByteArray u = mac.result();
        QByteArray t = u;
        for (int round = 1; round < iterations; ++round) {
            mac.reset();
            mac.addData(u);
            u = mac.result();
            for (qsizetype k = 0; k < t.size(); ++k)
                t[k] = char(t[k] ^ u[k]);
        }
        key += t;
    }
    return key.left(length);
}
