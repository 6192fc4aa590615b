#pragma once

#include <QHash>
#include <QString>
#include <QVariantList>

class ProductionDatabase;
struct RecordSummary;

// The records counted by the hour (UTC) and by everything a summary groups
// them by (the bench's day, device, job, lot, host, port, passed, the step
// a failed device failed at), in `tarvo_record_counts` beside the records:
// a job's whole life is added up from a few rows an hour, not read record
// by record. Every writer of records counts them in the same statement or
// transaction, so the counts never differ from the records.
class RecordTally
{
public:
    // The schema version that brought the counts.
    static constexpr int SinceVersion = 6;

    // The rest of a statement that counts the rows of source: the records
    // just written, each row giving tarvo_records' columns. Its one value
    // is the failed step (empty when passed), bound before any of source's.
    static QString countStatement(const QString &source);
    // What an INSERT INTO tarvo_records must return for countStatement() to
    // count the rows it wrote (PostgreSQL).
    static QString returnedColumns();

    // Counts the records whose id is above afterId in the transaction under
    // way (the records a bulk write added, or all of them on the schema's
    // upgrade). False after a failed statement.
    static bool countRecords(ProductionDatabase &database, qint64 afterId);
    // The highest record id, 0 for none; -1 after a failed statement.
    static qint64 lastRecordId(ProductionDatabase &database);

    // Adds the counts the filter's clause selects to summary. clause is
    // " WHERE ..." over the counts' columns, or empty.
    static bool addTo(ProductionDatabase &database, const QString &clause, const QVariantList &values,
                      RecordSummary *summary);
    // One group of records into a summary: the tally's rows and records
    // counted one by one add up the same way.
    static void add(RecordSummary *summary, const QStringList &group, bool passed, const QString &failedStep,
                    qint64 count);
    // The step a failure's texts (the outcome column) name; known keeps the
    // texts already read, as failures repeat the same few.
    static QString failedStepOf(const QVariant &outcomeColumn, QHash<QString, QString> *known);
};
