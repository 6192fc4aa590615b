#include "SqlRecordStore.h"

#include "BenchBoard.h"
#include "BenchLiveness.h"
#include "DeviceRecord.h"
#include "ProductionDatabase.h"
#include "RecordField.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

SqlRecordStore::SqlRecordStore(std::shared_ptr<ProductionDatabase> database)
    : m_database(std::move(database))
    , m_liveness(std::make_unique<BenchLiveness>(*m_database))
{
}

SqlRecordStore::~SqlRecordStore() = default;

bool SqlRecordStore::open(QString *error)
{
    return m_database->open(error);
}

bool SqlRecordStore::ready(QString *error)
{
    return m_database->ping(error);
}

QString SqlRecordStore::name() const
{
    return m_database->location().text();
}

bool SqlRecordStore::append(const DeviceRecord &record, QString *error)
{
    // The same id in the retry the database makes after a lost answer.
    const RecordRowContext context{m_sequence, QCoreApplication::applicationPid(),
                                   QUuid::createUuid().toString(QUuid::WithoutBraces)};
    QVariantList values;
    for (const RecordField &f : RecordField::all())
        values << f.sqlValue(record, context);
    const QString places = QStringLiteral("?, ").repeated(values.size()).chopped(2);
    const QString insert =
        QStringLiteral("INSERT INTO tarvo_records (%1) VALUES (%2) ON CONFLICT DO NOTHING").arg(RecordField::allColumns(), places);
    const BenchRow row = m_liveness->afterRecord(record);
    if (row.portEntry.isEmpty())
        return m_database->execute(insert, values, error);
    // On PostgreSQL one statement writes both: one round trip, as the
    // record alone.
    if (m_database->isPostgres())
        return m_database->execute(QStringLiteral("WITH bench AS (%1) ").arg(BenchBoard::writeStatement(*m_database)) + insert,
                                   BenchBoard::writeValues(row, m_liveness->pid()) + values, error);
    return m_database->transact(
        [&](QString *) {
            QSqlQuery query = m_database->newQuery();
            return m_database->exec(query, insert, values) && BenchBoard::write(*m_database, row, m_liveness->pid());
        },
        error);
}

bool SqlRecordStore::sinceFilter(const QString &since, QString *clause, QVariantList *values, QString *error)
{
    clause->clear();
    values->clear();
    if (since.isEmpty())
        return true;
    const QDate day = QDate::fromString(since, Qt::ISODate);
    if (day.isValid() && since.size() == 10) {
        *clause = QStringLiteral(" WHERE record_day >= ?");
        *values << day.toString(Qt::ISODate);
        return true;
    }
    const QDateTime time = QDateTime::fromString(since, Qt::ISODateWithMs);
    if (!time.isValid()) {
        *error = QStringLiteral("--since wants a day (2026-12-01) or a time (2026-12-01T14:00, 2026-12-01T14:00+07:00), not \"%1\".")
                     .arg(since);
        return false;
    }
    *clause = QStringLiteral(" WHERE recorded_utc >= ?");
    *values << RecordField::utcText(time);
    return true;
}

bool SqlRecordStore::read(ProductionDatabase &database, const QString &since,
                          const std::function<void(const DeviceRecord &)> &visit, QString *error)
{
    QString clause;
    QVariantList values;
    if (!sinceFilter(since, &clause, &values, error))
        return false;
    QSqlQuery query = database.newQuery();
    query.setForwardOnly(true);
    // A day's records are found by their day's or time's index and then
    // sorted: by id alone SQLite would read the whole table in id order.
    const QLatin1String order(clause.isEmpty() ? "id" : "+id");
    if (!database.exec(query,
                       QStringLiteral("SELECT %1 FROM tarvo_records%2 ORDER BY %3").arg(RecordField::recordColumns(database.recordForm()), clause, order),
                       values)) {
        *error = database.faultText(database.lastFault());
        return false;
    }
    while (query.next())
        visit(recordAt(query));
    return true;
}

DeviceRecord SqlRecordStore::recordAt(const QSqlQuery &query)
{
    DeviceRecord record;
    int c = 0;
    for (const RecordField &f : RecordField::all())
        if (f.inRecord())
            f.setFromSql(record, query.value(c++));
    return record;
}
