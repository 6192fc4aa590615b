#include "LineParameters.h"

#include "ProductionReport.h"

#include <QSet>

namespace {

bool parseLimit(const QString &text, int *limit)
{
    if (text.isEmpty() || text.size() > 4)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    *limit = text.toInt();
    return *limit >= 1 && *limit <= LineParameters::MaximumLimit;
}

// Bounded for the message too: a parameter may be a megabyte long.
QString shown(const QString &text)
{
    return text.size() > 60 ? text.left(60) + QStringLiteral("...") : text;
}

} // namespace

bool LineParameters::parse(const QUrlQuery &query, const QStringList &allowed, LineParameters *parameters,
                           QString *error)
{
    *parameters = LineParameters();
    QSet<QString> seen;
    for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (!allowed.contains(name)) {
            *error = allowed.isEmpty() ? QStringLiteral("This address takes no parameters; \"%1\" is not one.").arg(shown(name))
                                       : QStringLiteral("Unknown parameter \"%1\"; this address takes %2.")
                                             .arg(shown(name), allowed.join(QStringLiteral(", ")));
            return false;
        }
        if (seen.contains(name)) {
            *error = QStringLiteral("The parameter %1 is given twice.").arg(name);
            return false;
        }
        seen.insert(name);
        if (name == QLatin1String("limit")) {
            if (!parseLimit(value, &parameters->limit)) {
                *error = QStringLiteral("limit wants a number from 1 to %1, not \"%2\".").arg(MaximumLimit).arg(shown(value));
                return false;
            }
            continue;
        }
        if (value.size() > MaximumTextLength) {
            *error = QStringLiteral("%1 is longer than %2 characters.").arg(name).arg(MaximumTextLength);
            return false;
        }
        if (name == QLatin1String("since")) {
            QString why;
            if (value.isEmpty() || !ProductionReport::checkSince(value, &why)) {
                *error = QStringLiteral("since wants a day (2026-12-01) or a time (2026-12-01T14:00, 2026-12-01T14:00+07:00), "
                                        "not \"%1\".")
                             .arg(shown(value));
                return false;
            }
            parameters->since = value;
        } else if (name == QLatin1String("job")) {
            parameters->job = value;
        } else if (name == QLatin1String("lot")) {
            parameters->lot = value;
        }
    }
    return true;
}

QDateTime LineParameters::sinceTime(const QDateTime &fallback) const
{
    if (since.isEmpty())
        return fallback;
    if (since.size() == 10)
        return QDate::fromString(since, Qt::ISODate).startOfDay();
    return QDateTime::fromString(since, Qt::ISODateWithMs);
}
