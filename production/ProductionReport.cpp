#include "ProductionReport.h"

#include "DeviceRecord.h"
#include "ProductionDatabase.h"
#include "SqlRecordStore.h"

#include <QList>
#include <QMap>
#include <QSqlQuery>
#include <QVariant>

namespace {

struct Counts
{
    qint64 passed = 0;
    qint64 failed = 0;
};

QString line(const QString &label, const QString &devices, const QString &passed, const QString &failed)
{
    return QStringLiteral("%1 %2 %3 %4\n").arg(label, -16).arg(devices, 8).arg(passed, 8).arg(failed, 8);
}

QString row(const QString &label, const Counts &c)
{
    return line(label, QString::number(c.passed + c.failed), QString::number(c.passed), QString::number(c.failed));
}

QString table(const QString &title, const QMap<QString, Counts> &rows)
{
    QString out = line(title, QStringLiteral("Devices"), QStringLiteral("Passed"), QStringLiteral("Failed"));
    for (auto it = rows.cbegin(); it != rows.cend(); ++it)
        out += row(it.key(), it.value());
    return out;
}

} // namespace

ProductionReport::ProductionReport(ProductionDatabase &database) : m_database(database) {}

bool ProductionReport::summary(const QString &since, QString *text, QString *error)
{
    QString clause;
    QVariantList values;
    if (!SqlRecordStore::sinceFilter(since, &clause, &values, error))
        return false;
    QSqlQuery query = m_database.newQuery();
    query.setForwardOnly(true);
    if (!m_database.exec(query,
                         QStringLiteral("SELECT record_day, device, passed, COUNT(*) FROM tarvo_records%1 "
                                        "GROUP BY record_day, device, passed")
                             .arg(clause),
                         values)) {
        *error = m_database.faultText(m_database.lastFault());
        return false;
    }
    QMap<QString, Counts> byDay;
    QMap<QString, Counts> byDevice;
    Counts total;
    while (query.next()) {
        const bool passed = query.value(2).toInt() != 0;
        const qint64 count = query.value(3).toLongLong();
        for (Counts *c : {&byDay[query.value(0).toString()], &byDevice[query.value(1).toString()], &total})
            (passed ? c->passed : c->failed) += count;
    }
    *text = QStringLiteral("Production records in %1%2\n\n")
                .arg(m_database.location().text(), since.isEmpty() ? QString() : QStringLiteral(" since ") + since);
    *text += table(QStringLiteral("Day"), byDay) + QLatin1Char('\n') + table(QStringLiteral("Device"), byDevice)
             + QLatin1Char('\n') + row(QStringLiteral("All"), total);
    return true;
}

bool ProductionReport::csv(const QString &since, const std::function<void(const QString &)> &write, QString *error)
{
    // A --since that is no day nor time prints nothing, not a lone header.
    QString clause;
    QVariantList values;
    if (!SqlRecordStore::sinceFilter(since, &clause, &values, error))
        return false;
    write(DeviceRecord::csvHeader());
    return SqlRecordStore::read(m_database, since, [&write](const DeviceRecord &record) { write(record.csvRow()); }, error);
}
