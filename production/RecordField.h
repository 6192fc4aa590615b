#pragma once

#include <QJsonValue>
#include <QString>
#include <QVariant>
#include <span>

class DeviceRecord;

// What a row of tarvo_records holds beside the record itself.
struct RecordRowContext
{
    // The sequence the serial number came from; empty for none.
    QString sequence;
    qint64 pid = 0;
    // Made by the bench for this row: an insert tried again after its
    // answer was lost finds the row there and adds none.
    QString recordId;
};

// One field of the production record and its forms: the CSV column and JSON
// key, the column of tarvo_records and its type, and the member of
// DeviceRecord it stands for. all() is the one list of the fields, in
// column order: the log's CSV and JSON, and the database's CREATE TABLE,
// INSERT and SELECT all follow it.
class RecordField
{
public:
    enum class Kind {
        Text,
        // A list: blank-separated in CSV and SQL (command names).
        Words,
        // A list: " | " in CSV, line breaks in SQL (status texts).
        Lines,
        // ISO-8601 with milliseconds and the zone's offset.
        Time,
        // An optional number, written as text: eight bytes do not fit a
        // signed BIGINT nor a JSON number.
        Serial,
        // "pass"/"fail", true/false, 1/0.
        Flag,
        Count,
        // Columns of the database only: the time in UTC (for --since), the
        // bench's day, the process, the sequence, the record's id, and the
        // step a failed device failed at (empty when it passed).
        UtcTime,
        Day,
        Pid,
        Sequence,
        RecordId,
        FailedStep,
    };

    // CSV column and JSON key; nullptr for a column of the database only.
    const char *name;
    const char *column;
    const char *columnType;
    Kind kind;
    // The member as a QVariant (QString, QStringList, QDateTime, quint64 or
    // null, bool, qint64), and back; nullptr for a column of the database only.
    QVariant (*get)(const DeviceRecord &);
    // False when the value does not fit the member.
    bool (*set)(DeviceRecord &, const QVariant &);
    // The form of the record that brought the field: logs and databases
    // written in an earlier form lack it, and read it as empty.
    int form = 1;

    // The record's forms: 1 had the fields up to failure; 2 added the
    // program's version, the fuse value written and the scanned code; 3 the
    // job's name and its file's SHA-256, the operator and the lot.
    static constexpr int CurrentForm = 3;

    static std::span<const RecordField> all();
    bool inRecord() const { return name != nullptr; }

    QString csvText(const DeviceRecord &record) const;
    QJsonValue jsonValue(const DeviceRecord &record) const;
    QVariant sqlValue(const DeviceRecord &record, const RecordRowContext &context) const;
    // False with a text naming the field when the value is not of its form.
    bool setFromCsv(DeviceRecord &record, const QString &text, QString *error) const;
    bool setFromJson(DeviceRecord &record, const QJsonValue &value, QString *error) const;
    void setFromSql(DeviceRecord &record, const QVariant &value) const;

    // "recorded_at TEXT NOT NULL, ...": the columns of CREATE TABLE.
    static QString columnDefinitions();
    // "tool_version TEXT": the column of a field of the given form.
    QString columnDefinition() const;
    // The columns of the record's own fields, for SELECT; all columns, for INSERT.
    static QString recordColumns();
    // The same for a table of an older form: NULL in place of a column it
    // lacks (a database read as it is).
    static QString recordColumns(int form);
    // The column, or NULL for a table of an older form.
    QString columnIn(int form) const;
    static QString allColumns();

    // ISO-8601 with the offset, "+00:00" rather than "Z".
    static QString timeText(const QDateTime &time);
    // UTC with milliseconds and "Z": texts that sort as the times do.
    static QString utcText(const QDateTime &time);
};
