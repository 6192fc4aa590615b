// libFuzzer target for what tarvo-line reads from outside: the --listen
// address and the command line, the Authorization, Cookie and Host headers,
// and a request's query parameters. Besides surviving any text: an address
// taken prints and parses back to itself; only the token itself is
// admitted; the cookie found is the first of its name; a Host admitted
// without a token is this machine's, in host[:port] form; parameters taken
// are within their bounds.
#include "AccessToken.h"
#include "LineHttp.h"
#include "LineOptions.h"
#include "LineParameters.h"
#include "ListenAddress.h"
#include "ProductionReport.h"

#include <QHostAddress>
#include <QRegularExpression>
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
    // The first cookie of the name counts: others before and after it
    // change nothing, and a later one is found only when it is the first.
    const auto around = [&cookie](const QByteArray &later) {
        return AccessToken::cookieOf("other=1; " + cookie + "; " + AccessToken::CookieName + '=' + later, AccessToken::CookieName);
    };
    const QByteArray first = around("later1");
    const QByteArray second = around("later2");
    const bool absent = first == "later1" && second == "later2";
    if (absent ? !value.isEmpty() : first != value || second != value)
        abort();
}

void checkHost(const QByteArray &header)
{
    if (!LineRequest::namesThisMachine(header))
        return;
    if (header.isEmpty())
        return;
    // Admitted: the whole header is host[:digits], an IPv6 address closed
    // by its bracket, and the host is localhost or a loopback address.
    static const QRegularExpression form(
        QRegularExpression::anchoredPattern(QStringLiteral("(?:\\[([^\\]]*)\\]|([^:\\[]*))(?::[0-9]*)?")));
    const QRegularExpressionMatch match = form.match(QString::fromLatin1(header.trimmed()));
    if (!match.hasMatch())
        abort();
    const QString host = match.hasCaptured(1) ? match.captured(1) : match.captured(2);
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0 && !QHostAddress(host).isLoopback())
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
    // Pieces at line breaks: address, authorization, cookie, query, host.
    const QList<QByteArray> pieces = bytes.split('\n');
    const auto piece = [&pieces](int i) { return i < pieces.size() ? pieces[i] : QByteArray(); };
    checkAddress(QString::fromUtf8(piece(0)));
    checkHeaders(piece(1), piece(2));
    checkQuery(QString::fromUtf8(piece(3)));
    checkHost(piece(4));
    // The whole input as a command line, split at blanks.
    LineOptions::parse(QString::fromUtf8(bytes).split(QLatin1Char(' ')));
    return 0;
}
