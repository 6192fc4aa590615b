#include "ProductionReport.h"

#include "ProductionDatabase.h"
#include "RecordSummary.h"
#include "SqlRecordStore.h"

#include <QSqlQuery>
#include <QVariant>

ProductionReport::ProductionReport(ProductionDatabase &database) : m_database(database) {}

bool ProductionReport::checkSince(const QString &since, QString *error)
{
    QString clause;
    QVariantList values;
    return SqlRecordStore::sinceFilter(since, &clause, &values, error);
}

bool ProductionReport::summary(const QString &since, RecordSummary *summary, QString *error)
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
    *summary = RecordSummary();
    while (query.next()) {
        const bool passed = query.value(2).toInt() != 0;
        const qint64 count = query.value(3).toLongLong();
        for (RecordCounts *c : {&summary->byDay[query.value(0).toString()], &summary->byDevice[query.value(1).toString()],
                                &summary->total})
            (passed ? c->passed : c->failed) += count;
    }
    return true;
}

bool ProductionReport::records(const QString &since, const std::function<void(const DeviceRecord &)> &visit,
                               QString *error)
{
    return SqlRecordStore::read(m_database, since, visit, error);
}
