#pragma once

#include "RecordStore.h"

#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>

class BenchLiveness;
class DeviceRecord;
class ProductionDatabase;
class QSqlQuery;

// The production records as rows of `tarvo_records`, one per device run,
// each inserted in its own transaction: committed (and so durable) when
// append returns true. The bench's row in `tarvo_benches` (BenchLiveness,
// on the same connection) is written in the record's transaction: a
// record is never there without its row, nor the row without its record.
class SqlRecordStore : public RecordStore
{
public:
    explicit SqlRecordStore(std::shared_ptr<ProductionDatabase> database);
    ~SqlRecordStore() override;

    bool open(QString *error) override;
    bool ready(QString *error) override;
    bool append(const DeviceRecord &record, QString *error) override;
    QString name() const override;
    BenchLiveness *liveness() override { return m_liveness.get(); }

    // Which sequence the serial numbers of the records come from, if any.
    void setSequenceName(const QString &name) { m_sequence = name; }

    // The records from `since` on (all when since is empty: a day
    // "YYYY-MM-DD" of the benches' calendar, or an ISO-8601 time), oldest
    // first, each handed to visit. False with the driver's text.
    static bool read(ProductionDatabase &database, const QString &since,
                     const std::function<void(const DeviceRecord &)> &visit, QString *error);
    // The WHERE clause and its value for `since`; empty clause for all.
    // False when since is neither a day nor a time.
    static bool sinceFilter(const QString &since, QString *clause, QVariantList *values, QString *error);
    // The record on query's row, selected with RecordField::recordColumns.
    static DeviceRecord recordAt(const QSqlQuery &query);

private:
    std::shared_ptr<ProductionDatabase> m_database;
    QString m_sequence;
    // After the database: it goes first, and says the bench stopped.
    std::unique_ptr<BenchLiveness> m_liveness;
};
