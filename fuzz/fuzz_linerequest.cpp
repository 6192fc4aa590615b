// libFuzzer target for what tarvo-line reads from outside: the --listen
// address and the command line, the Authorization and Cookie headers, and
// a request's query parameters. Besides surviving any text: an address
// taken prints and parses back to itself; only the token itself is
// admitted; parameters taken are within their bounds.
#include "AccessToken.h"
#include "LineHttp.h"
#include "LineOptions.h"
#include "LineParameters.h"
#include "ListenAddress.h"
#include "ProductionReport.h"

#include <cstdlib>

namespace {

const QByteArray Token = "fuzz-token-0123456789";

void checkAddress(const QString &text)
{
    const ListenAddress address = ListenAddress::parse(text);
    if (address.isValid() == !address.error().isEmpty())
        abort();
    if (!address.isValid())
        return;
    const ListenAddress again = ListenAddress::parse(address.text(address.port()));
    if (!again.isValid() || again.address() != address.address() || again.port() != address.port())
        abort();
}

void checkHeaders(const QByteArray &authorization, const QByteArray &cookie)
{
    AccessToken token;
    QString error;
    if (!token.set(Token, &error))
        abort();
    const LineRequest request = LineRequest::get(QStringLiteral("/"), {{"Authorization", authorization}, {"Cookie", cookie}});
    const QByteArray bearer = AccessToken::bearerOf(authorization);
    const QByteArray value = AccessToken::cookieOf(cookie, AccessToken::CookieName);
    const bool byToken = bearer.isEmpty() ? value == Token : bearer == Token;
    if (token.admits(request) != byToken)
        abort();
    if (value.contains(';'))
        abort();
}

void checkQuery(const QString &query)
{
    LineParameters p;
    QString error;
    const QStringList all{QStringLiteral("since"), QStringLiteral("limit"), QStringLiteral("job"), QStringLiteral("lot")};
    if (!LineParameters::parse(QUrlQuery(query), all, &p, &error)) {
        if (error.isEmpty())
            abort();
        return;
    }
    if (p.limit < 1 || p.limit > LineParameters::MaximumLimit || p.job.size() > LineParameters::MaximumTextLength
        || p.lot.size() > LineParameters::MaximumTextLength)
        abort();
    if (!p.since.isEmpty() && (!ProductionReport::checkSince(p.since, &error) || !p.sinceTime({}).isValid()))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // Pieces at line breaks: address, authorization, cookie, query.
    const QList<QByteArray> pieces = bytes.split('\n');
    const auto piece = [&pieces](int i) { return i < pieces.size() ? pieces[i] : QByteArray(); };
    checkAddress(QString::fromUtf8(piece(0)));
    checkHeaders(piece(1), piece(2));
    checkQuery(QString::fromUtf8(piece(3)));
    // The whole input as a command line, split at blanks.
    LineOptions::parse(QString::fromUtf8(bytes).split(QLatin1Char(' ')));
    return 0;
}
