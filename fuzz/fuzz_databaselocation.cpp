// libFuzzer target for database locations (--db, TARVO_DB). Besides
// surviving any text: a password put into a location, wherever the rest
// of it is broken, is refused and appears in no message; a location taken
// names a port from 1 to 65535 or none.
#include "DatabaseLocation.h"

#include <cstdlib>

namespace {

const QString Secret = QStringLiteral("Zq9SecretPw");

void check(const DatabaseLocation &location)
{
    if (location.isValid() == !location.error().isEmpty())
        abort();
    if (location.kind() == DatabaseLocation::Kind::Postgres && location.port() != -1
        && (location.port() < 1 || location.port() > 65535))
        abort();
}

void refusedUnseen(const QString &text)
{
    const DatabaseLocation location = DatabaseLocation::parse(text);
    check(location);
    if (location.isValid() || location.error().contains(Secret) || location.text().contains(Secret))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    check(DatabaseLocation::parse(text));
    // The rest of the location as the input has it, a password put in.
    const qsizetype at = text.indexOf(QLatin1Char('@'));
    const QString host = at < 0 ? text : text.mid(at + 1);
    refusedUnseen(QStringLiteral("postgresql://tarvo:") + Secret + QLatin1Char('@') + host);
    refusedUnseen(QStringLiteral("postgresql://tarvo:") + Secret + QLatin1Char('/') + text + QLatin1String("@db/line"));
    if (!text.contains(QLatin1Char('?')))
        refusedUnseen(QStringLiteral("postgresql://") + text + QLatin1String("?password=") + Secret);
    return 0;
}
