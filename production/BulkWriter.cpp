#include "BulkWriter.h"

#include "DeviceRecord.h"
#include "ProductionDatabase.h"
#include "RecordField.h"

#include <QSqlQuery>
#include <QUuid>
#include <algorithm>

BulkWriter::BulkWriter(ProductionDatabase &database) : m_database(database)
{
    // The records' indexes (the record id's above all, a random UUID) are
    // written all over: SQLite's default cache of 2 MB would read and write
    // each page again and again.
    if (!m_database.isPostgres()) {
        QSqlQuery query = m_database.newQuery();
        m_database.exec(query, QStringLiteral("PRAGMA cache_size = -%1").arg(CacheKiB));
        // Whole transactions still, without waiting for the disk at each.
        m_database.exec(query, QStringLiteral("PRAGMA synchronous = NORMAL"));
    }
}

bool BulkWriter::insertRows(const QString &head, int columns, const QVariantList &values, QString *error)
{
    const QString row = QLatin1Char('(') + QStringLiteral("?, ").repeated(columns).chopped(2) + QLatin1Char(')');
    return m_database.transact(
        [&](QString *) {
            QSqlQuery query = m_database.newQuery();
            const qsizetype rows = values.size() / columns;
            for (qsizetype first = 0; first < rows; first += RowsPerStatement) {
                const qsizetype count = std::min<qsizetype>(RowsPerStatement, rows - first);
                QStringList places(count, row);
                if (!m_database.exec(query, head + places.join(QLatin1String(", ")),
                                     values.mid(first * columns, count * columns)))
                    return false;
            }
            return true;
        },
        error);
}

bool BulkWriter::records(const QList<DeviceRecord> &records, const QString &sequence, QString *error)
{
    QVariantList values;
    int columns = 0;
    for (const DeviceRecord &record : records) {
        // Ids that sort as the records' times do (what a bench makes is
        // random): each statement adds to the end of the id's index
        // instead of all over it.
        const QString id = QStringLiteral("%1-%2")
                               .arg(record.time.toMSecsSinceEpoch(), 12, 16, QLatin1Char('0'))
                               .arg(QUuid::createUuid().toString(QUuid::Id128).left(20));
        const RecordRowContext context{sequence, 0, id};
        columns = 0;
        for (const RecordField &f : RecordField::all()) {
            values << f.sqlValue(record, context);
            ++columns;
        }
    }
    if (records.isEmpty())
        return true;
    return insertRows(QStringLiteral("INSERT INTO tarvo_records (%1) VALUES ").arg(RecordField::allColumns()), columns,
                      values, error);
}

bool BulkWriter::numbers(const QString &sequence, const QList<Number> &numbers, QString *error)
{
    QVariantList values;
    quint64 highest = 0;
    for (const Number &n : numbers) {
        values << sequence << qint64(n.number) << QString::fromLatin1(n.retired ? "retired" : "used") << n.host
               << QStringLiteral("bulk") << qint64(0) << n.changedMs << (n.retired ? QVariant(n.reason) : QVariant());
        highest = std::max(highest, n.number);
    }
    if (numbers.isEmpty())
        return true;
    if (!insertRows(QStringLiteral("INSERT INTO tarvo_reservations (sequence_name, number, state, host, machine, pid, "
                                   "changed_ms, reason) VALUES "),
                    8, values, error))
        return false;
    return m_database.execute(QStringLiteral("UPDATE tarvo_sequences SET next_number = ? WHERE name = ? AND next_number <= ?"),
                              {qint64(highest + 1), sequence, qint64(highest)}, error);
}
