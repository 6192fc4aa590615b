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
    const char *fromRecord;
};
constexpr KeyColumn Key[] = {
    {"record_day", "record_day"},
    {"hour_utc", "SUBSTR(recorded_utc, 1, 13)"},
    {"device", "COALESCE(device, '')"},
    {"job_name", "COALESCE(job_name, '')"},
    {"lot", "COALESCE(lot, '')"},
    {"host", "COALESCE(host, '')"},
    {"port", "COALESCE(port, '')"},
    {"passed", "passed"},
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

QString fromRecordList()
{
    QStringList items;
    for (const KeyColumn &k : Key)
        items << QLatin1String(k.fromRecord);
    return items.join(QLatin1String(", "));
}

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

} // namespace

QString RecordTally::countStatement(const QString &source)
{
    return QStringLiteral("INSERT INTO tarvo_record_counts (%1, devices) SELECT %2, ?, 1 FROM %3")
               .arg(keyList(), fromRecordList(), source)
        + upsertTail();
}

QString RecordTally::returnedColumns()
{
    return QStringLiteral("record_day, recorded_utc, device, job_name, lot, host, port, passed");
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
    // Grouped by the failure's texts (a few, repeated), whose step is
    // read here, then added up by step.
    QSqlQuery query = database.newQuery();
    query.setForwardOnly(true);
    if (!database.exec(query,
                       QStringLiteral("SELECT %1, CASE WHEN passed = 0 THEN outcome END, COUNT(*) FROM tarvo_records "
                                      "WHERE id > ? GROUP BY %2")
                           .arg(fromRecordList(), QStringLiteral("1, 2, 3, 4, 5, 6, 7, 8, 9")),
                       {afterId}))
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
