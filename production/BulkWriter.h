#pragma once

#include <QList>
#include <QString>

class DeviceRecord;
class ProductionDatabase;

// Many records, and the numbers they used, written in few statements and
// one transaction per call: how a year of a busy line is made to measure
// the line's questions at scale. The benches never write this way: each of
// their records is its own transaction (SqlRecordStore).
class BulkWriter
{
public:
    // Rows per INSERT statement.
    static constexpr int RowsPerStatement = 500;
    // SQLite's page cache while writing.
    static constexpr int CacheKiB = 512 * 1024;

    explicit BulkWriter(ProductionDatabase &database);

    // The records, in one transaction; sequence: where their serial
    // numbers came from (empty for none). False with the driver's text.
    bool records(const QList<DeviceRecord> &records, const QString &sequence, QString *error);

    // A number of a sequence as the line left it: used by a device, or
    // retired (with why). changedMs: when, ms since 1970.
    struct Number
    {
        quint64 number = 0;
        bool retired = false;
        QString reason;
        QString host;
        qint64 changedMs = 0;
    };
    // The numbers handed out of an existing sequence (SqlSerialSequence
    // made it), in one transaction; the sequence's next number moves past
    // the highest.
    bool numbers(const QString &sequence, const QList<Number> &numbers, QString *error);

private:
    // The rows in statements of RowsPerStatement, in one transaction.
    bool insertRows(const QString &head, int columns, const QVariantList &values, QString *error);

    ProductionDatabase &m_database;
};
