#pragma once

#include <QHash>
#include <QStringList>
#include <QString>
#include <QVariantList>

class ProductionDatabase;
struct RecordSummary;

// The records counted by the day (the bench's and UTC's) and by everything
// a summary groups them by (device, job, lot, host, port, passed, the step
// a failed device failed at), in `tarvo_record_counts` beside the records:
// a job's whole life is added up from a few rows a day, not read record
// by record. The database counts each record as it is inserted (a trigger),
// so the counts never differ from the records.
class RecordTally
{
public:
    // The schema version that brought the counts.
    static constexpr int SinceVersion = 6;

    // The trigger that counts each record as it is inserted, whoever
    // inserts it, and refuses a record without its failed_step (a program
    // that predates the counts). A record not inserted (ON CONFLICT DO
    // NOTHING: a retry that finds its record there) is not counted.
    static bool createTrigger(ProductionDatabase &database);

    // Counts the records whose id is above afterId in the transaction under
    // way: the records already there when the schema is upgraded. False
    // after a failed statement.
    static bool countRecords(ProductionDatabase &database, qint64 afterId);
    // Records counted a statement, at most: each stays well within the
    // server's statement time-out.
    static constexpr qint64 IdsPerCount = 250000;

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

private:
    // The highest record id, 0 for none; -1 after a failed statement.
    static qint64 lastRecordId(ProductionDatabase &database);
    // Counts the records of ids afterId + 1 to lastId.
    static bool countRange(ProductionDatabase &database, qint64 afterId, qint64 lastId);
};
