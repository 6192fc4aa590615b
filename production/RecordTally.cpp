#include "RecordTally.h"

#include "DeviceRecord.h"
#include "ProductionDatabase.h"
#include "RecordField.h"
#include "RecordSummary.h"

#include <QHash>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <ranges>

namespace {

// The counts' key, column by column, and what each is made of in a row of
// tarvo_records. A text the record lacks counts as empty: a key column is
// never NULL, or two rows of the same group would not meet.
struct KeyColumn
{
    const char *name;
    // %1: where the record's columns come from ("", "NEW.").
    const char *fromRecord;
};
constexpr KeyColumn Key[] = {
    {"record_day", "%1record_day"},
    {"utc_day", "SUBSTR(%1recorded_utc, 1, 10)"},
    {"device", "COALESCE(%1device, '')"},
    {"job_name", "COALESCE(%1job_name, '')"},
    {"lot", "COALESCE(%1lot, '')"},
    {"host", "COALESCE(%1host, '')"},
    {"port", "COALESCE(%1port, '')"},
    {"passed", "%1passed"},
};
constexpr int KeyColumns = int(std::size(Key));
// Rows per INSERT of a bulk count.
constexpr int RowsPerStatement = 500;

QString keyList()
{
    QStringList names;
    for (const KeyColumn &k : Key)
        names << QLatin1String(k.name);
    return names.join(QLatin1String(", ")) + QLatin1String(", step");
}

QString fromRecordList(const QString &row = QString())
{
    QStringList items;
    for (const KeyColumn &k : Key)
        items << QString::fromLatin1(k.fromRecord).arg(row);
    return items.join(QLatin1String(", "));
}

// Why a record of a program that does not count is refused.
constexpr char OlderWriter[] = "This database counts its records by the day since schema version 6; "
                               "the program that wrote this record is older and does not: update it.";

// An empty text, not NULL: a null QString binds as NULL.
QVariant notNull(const QString &text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

QString upsertTail()
{
    return QStringLiteral(" ON CONFLICT (%1) DO UPDATE SET devices = tarvo_record_counts.devices + excluded.devices")
        .arg(keyList());
}

// The count of the record just inserted (NEW), as the trigger adds it.
QString countNew()
{
    return QStringLiteral("INSERT INTO tarvo_record_counts (%1, devices) VALUES (%2, NEW.failed_step, 1)")
               .arg(keyList(), fromRecordList(QStringLiteral("NEW.")))
        + upsertTail();
}

} // namespace

bool RecordTally::createTrigger(ProductionDatabase &database)
{
    QSqlQuery query = database.newQuery();
    if (!database.isPostgres())
        return database.exec(query, QStringLiteral("CREATE TRIGGER tarvo_records_counted AFTER INSERT ON tarvo_records BEGIN "
                                                   "SELECT RAISE(ABORT, '%1') WHERE NEW.failed_step IS NULL; %2; END")
                                        .arg(QLatin1String(OlderWriter), countNew()));
    return database.exec(query, QStringLiteral("CREATE FUNCTION tarvo_count_record() RETURNS trigger LANGUAGE plpgsql AS $$ "
                                               "BEGIN IF NEW.failed_step IS NULL THEN RAISE EXCEPTION '%1'; END IF; "
                                               "%2; RETURN NULL; END $$")
                                    .arg(QLatin1String(OlderWriter), countNew()))
        && database.exec(query, QStringLiteral("CREATE TRIGGER tarvo_records_counted AFTER INSERT ON tarvo_records "
                                               "FOR EACH ROW EXECUTE FUNCTION tarvo_count_record()"));
}

qint64 RecordTally::lastRecordId(ProductionDatabase &database)
{
    QSqlQuery query = database.newQuery();
    if (!database.exec(query, QStringLiteral("SELECT MAX(id) FROM tarvo_records")) || !query.next())
        return -1;
    return query.value(0).toLongLong();
}

bool RecordTally::countRecords(ProductionDatabase &database, qint64 afterId)
{
    // In spans of ids, however many records a database holds.
    const qint64 last = lastRecordId(database);
    if (last < 0)
        return false;
    for (qint64 from = afterId; from < last; from += IdsPerCount)
        if (!countRange(database, from, std::min(last, from + IdsPerCount)))
            return false;
    return true;
}

bool RecordTally::countRange(ProductionDatabase &database, qint64 afterId, qint64 lastId)
{
    // Grouped by the failure's texts (a few, repeated), whose step is
    // read here, then added up by step.
    QSqlQuery query = database.newQuery();
    query.setForwardOnly(true);
    if (!database.exec(query,
                       QStringLiteral("SELECT %1, CASE WHEN passed = 0 THEN outcome END, COUNT(*) FROM tarvo_records "
                                      "WHERE id > ? AND id <= ? GROUP BY %2")
                           .arg(fromRecordList(), QStringLiteral("1, 2, 3, 4, 5, 6, 7, 8, 9")),
                       {afterId, lastId}))
        return false;
    QHash<QString, QString> stepOfText;
    QHash<QStringList, qint64> counts;
    while (query.next()) {
        QStringList key;
        for (int i = 0; i < KeyColumns; ++i)
            key << query.value(i).toString();
        key << (query.value(KeyColumns - 1).toInt() == 0 ? failedStepOf(query.value(KeyColumns), &stepOfText) : QString());
        counts[key] += query.value(KeyColumns + 1).toLongLong();
    }
    query = database.newQuery();
    const QString row = QLatin1Char('(') + QStringLiteral("?, ").repeated(KeyColumns + 2).chopped(2) + QLatin1Char(')');
    QVariantList values;
    int rows = 0;
    const auto flush = [&] {
        if (rows == 0)
            return true;
        const QString sql = QStringLiteral("INSERT INTO tarvo_record_counts (%1, devices) VALUES ").arg(keyList())
                            + QStringList(rows, row).join(QLatin1String(", ")) + upsertTail();
        const bool ok = database.exec(query, sql, values);
        values.clear();
        rows = 0;
        return ok;
    };
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        for (int i = 0; i < it.key().size(); ++i)
            values << (i == KeyColumns - 1 ? QVariant(it.key().at(i).toInt()) : notNull(it.key().at(i)));
        values << it.value();
        if (++rows == RowsPerStatement && !flush())
            return false;
    }
    return flush();
}

bool RecordTally::addTo(ProductionDatabase &database, const QString &clause, const QVariantList &values,
                        RecordSummary *summary)
{
    QSqlQuery query = database.newQuery();
    query.setForwardOnly(true);
    if (!database.exec(query,
                       QStringLiteral("SELECT record_day, device, job_name, lot, host, port, passed, step, SUM(devices) "
                                      "FROM tarvo_record_counts%1 GROUP BY 1, 2, 3, 4, 5, 6, 7, 8")
                           .arg(clause),
                       values))
        return false;
    while (query.next()) {
        QStringList group;
        for (int i = 0; i < 6; ++i)
            group << query.value(i).toString();
        add(summary, group, query.value(6).toInt() != 0, query.value(7).toString(), query.value(8).toLongLong());
    }
    return true;
}

void RecordTally::add(RecordSummary *summary, const QStringList &group, bool passed, const QString &failedStep,
                      qint64 count)
{
    for (RecordCounts *c : {&summary->byDay[group.at(0)], &summary->byDevice[group.at(1)],
                            &summary->byJobLot[{group.at(2), group.at(3)}], &summary->byBench[{group.at(4), group.at(5)}],
                            &summary->total})
        (passed ? c->passed : c->failed) += count;
    if (!passed)
        summary->failedSteps[failedStep] += count;
}

QString RecordTally::failedStepOf(const QVariant &outcomeColumn, QHash<QString, QString> *known)
{
    static const RecordField &outcome = *std::ranges::find_if(RecordField::all(), [](const RecordField &f) {
        return f.kind == RecordField::Kind::Lines;
    });
    const QString texts = outcomeColumn.toString();
    auto found = known->find(texts);
    if (found == known->end()) {
        DeviceRecord record;
        outcome.setFromSql(record, outcomeColumn);
        found = known->insert(texts, DeviceRecord::failedStepOf(record.outcome));
    }
    return *found;
}
