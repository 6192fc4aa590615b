#include "RecordField.h"

#include "DeviceRecord.h"

#include <QDateTime>
#include <QJsonArray>
#include <QStringList>
#include <type_traits>
#include <utility>

namespace {

using Kind = RecordField::Kind;

// A list in one CSV field, and in one column: a status text never holds a
// line break, a command name never a blank.
const QString CsvLinesSeparator = QStringLiteral(" | ");
const QChar SqlLinesSeparator = QLatin1Char('\n');
const QChar WordsSeparator = QLatin1Char(' ');

template <auto Member>
QVariant getMember(const DeviceRecord &record)
{
    const auto &value = record.*Member;
    if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::optional<quint64>>)
        return value ? QVariant::fromValue(*value) : QVariant();
    else
        return QVariant::fromValue(value);
}

template <auto Member>
bool setMember(DeviceRecord &record, const QVariant &value)
{
    auto &member = record.*Member;
    using T = std::decay_t<decltype(member)>;
    if constexpr (std::is_same_v<T, std::optional<quint64>>) {
        member = value.isNull() ? std::nullopt : std::optional<quint64>(value.toULongLong());
    } else if constexpr (std::is_same_v<T, int>) {
        // A count past an int is refused, not wrapped round.
        const qint64 count = value.toLongLong();
        if (!std::in_range<int>(count))
            return false;
        member = int(count);
    } else {
        member = value.value<T>();
    }
    return true;
}

template <auto Member>
constexpr RecordField field(const char *name, const char *column, const char *type, Kind kind, int form = 1)
{
    return {name, column, type, kind, &getMember<Member>, &setMember<Member>, form};
}

// A column made from the record as a whole and the row's context (sqlValue).
constexpr RecordField column(const char *column, const char *type, Kind kind)
{
    return {nullptr, column, type, kind, nullptr, nullptr};
}

// tarvo_records, column by column; the order is the CSV's too. A field a
// later form added goes after the ones before it, and is added to a database
// of an earlier schema by ProductionDatabase's upgrade.
const RecordField Fields[] = {
    field<&DeviceRecord::time>("time", "recorded_at", "TEXT NOT NULL", Kind::Time),
    column("recorded_utc", "TEXT NOT NULL", Kind::UtcTime),
    column("record_day", "TEXT NOT NULL", Kind::Day),
    field<&DeviceRecord::host>("host", "host", "TEXT", Kind::Text),
    column("pid", "BIGINT", Kind::Pid),
    field<&DeviceRecord::portEntry>("port", "port", "TEXT", Kind::Text),
    field<&DeviceRecord::portPath>("port_path", "port_path", "TEXT", Kind::Text),
    field<&DeviceRecord::biosCode>("bios_code", "bios_code", "TEXT", Kind::Text),
    field<&DeviceRecord::device>("device", "device", "TEXT", Kind::Text),
    field<&DeviceRecord::commands>("commands", "commands", "TEXT", Kind::Words),
    field<&DeviceRecord::fileName>("file", "file", "TEXT", Kind::Text),
    field<&DeviceRecord::imageSha256>("image_sha256", "image_sha256", "TEXT", Kind::Text),
    field<&DeviceRecord::bufferChecksum>("buffer_sum", "buffer_sum", "TEXT", Kind::Text),
    column("serial_sequence", "TEXT", Kind::Sequence),
    field<&DeviceRecord::serial>("serial", "serial", "TEXT", Kind::Serial),
    field<&DeviceRecord::serialText>("serial_text", "serial_text", "TEXT", Kind::Text),
    field<&DeviceRecord::outcome>("outcome", "outcome", "TEXT", Kind::Lines),
    field<&DeviceRecord::passed>("passed", "passed", "INTEGER NOT NULL", Kind::Flag),
    field<&DeviceRecord::durationMs>("duration_ms", "duration_ms", "BIGINT", Kind::Count),
    field<&DeviceRecord::successCount>("success", "success", "INTEGER", Kind::Count),
    field<&DeviceRecord::failureCount>("failure", "failure", "INTEGER", Kind::Count),
    column("record_id", "TEXT", Kind::RecordId),
    // Form 2.
    field<&DeviceRecord::version>("version", "tool_version", "TEXT", Kind::Text, 2),
    field<&DeviceRecord::fuseValue>("fuse_value", "fuse_value", "TEXT", Kind::Text, 2),
    field<&DeviceRecord::scannedCode>("scan", "scanned_code", "TEXT", Kind::Text, 2),
    // Form 3.
    field<&DeviceRecord::jobName>("job", "job_name", "TEXT", Kind::Text, 3),
    field<&DeviceRecord::jobSha256>("job_sha256", "job_sha256", "TEXT", Kind::Text, 3),
    field<&DeviceRecord::operatorName>("operator", "operator_name", "TEXT", Kind::Text, 3),
    field<&DeviceRecord::lot>("lot", "lot", "TEXT", Kind::Text, 3),
    // Schema 6 (last, as its upgrade adds it): what the records are
    // counted by (RecordTally); a writer that leaves it NULL predates the
    // counts and is refused.
    column("failed_step", "TEXT", Kind::FailedStep),
};

QString columnList(bool recordOnly, QString (*item)(const RecordField &))
{
    QStringList items;
    for (const RecordField &f : Fields)
        if (f.inRecord() || !recordOnly)
            items << item(f);
    return items.join(QLatin1String(", "));
}

QVariant nullText()
{
    return QVariant(QMetaType::fromType<QString>());
}

// A null QString binds as SQL NULL: an empty text stays empty.
QVariant sqlText(const QString &value)
{
    return value.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(value);
}

QDateTime parseTime(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

} // namespace

std::span<const RecordField> RecordField::all()
{
    return Fields;
}

QString RecordField::timeText(const QDateTime &time)
{
    // Written with the offset in every case, "Z" never: a local record reads
    // as local time.
    QString text = time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
    if (text.endsWith(QLatin1Char('Z'))) {
        text.chop(1);
        text += QLatin1String("+00:00");
    }
    return text;
}

QString RecordField::utcText(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QString RecordField::csvText(const DeviceRecord &record) const
{
    const QVariant value = get(record);
    switch (kind) {
    case Kind::Words:
        return value.toStringList().join(WordsSeparator);
    case Kind::Lines:
        return value.toStringList().join(CsvLinesSeparator);
    case Kind::Time:
        return timeText(value.toDateTime());
    case Kind::Serial:
        return value.isNull() ? QString() : QString::number(value.toULongLong());
    case Kind::Flag:
        return value.toBool() ? QStringLiteral("pass") : QStringLiteral("fail");
    case Kind::Count:
        return QString::number(value.toLongLong());
    default:
        return value.toString();
    }
}

QJsonValue RecordField::jsonValue(const DeviceRecord &record) const
{
    const QVariant value = get(record);
    switch (kind) {
    case Kind::Words:
    case Kind::Lines:
        return QJsonArray::fromStringList(value.toStringList());
    case Kind::Time:
        return timeText(value.toDateTime());
    case Kind::Serial:
        return value.isNull() ? QJsonValue() : QJsonValue(QString::number(value.toULongLong()));
    case Kind::Flag:
        return value.toBool();
    case Kind::Count:
        return value.toLongLong();
    default:
        return value.toString();
    }
}

QVariant RecordField::sqlValue(const DeviceRecord &record, const RecordRowContext &context) const
{
    switch (kind) {
    case Kind::Pid:
        return context.pid;
    case Kind::Sequence:
        return context.sequence.isEmpty() ? nullText() : QVariant(context.sequence);
    case Kind::RecordId:
        return context.recordId.isEmpty() ? nullText() : QVariant(context.recordId);
    case Kind::FailedStep:
        return sqlText(record.failedStep());
    case Kind::UtcTime:
        return utcText(record.time);
    case Kind::Day:
        return record.time.toOffsetFromUtc(record.time.offsetFromUtc()).date().toString(Qt::ISODate);
    case Kind::Lines:
        return sqlText(get(record).toStringList().join(SqlLinesSeparator));
    case Kind::Serial:
        return get(record).isNull() ? nullText() : QVariant(csvText(record));
    case Kind::Flag:
        return get(record).toBool() ? 1 : 0;
    case Kind::Count:
        return get(record).toLongLong();
    default:
        return sqlText(csvText(record));
    }
}

bool RecordField::setFromCsv(DeviceRecord &record, const QString &text, QString *error) const
{
    QVariant value;
    bool ok = true;
    switch (kind) {
    case Kind::Words:
        value = text.split(WordsSeparator, Qt::SkipEmptyParts);
        break;
    case Kind::Lines:
        value = text.split(CsvLinesSeparator, Qt::SkipEmptyParts);
        break;
    case Kind::Time:
        value = parseTime(text);
        ok = value.toDateTime().isValid();
        break;
    case Kind::Serial:
        if (!text.isEmpty())
            value = QVariant::fromValue(text.toULongLong(&ok));
        break;
    case Kind::Flag:
        ok = text == QLatin1String("pass") || text == QLatin1String("fail");
        value = text == QLatin1String("pass");
        break;
    case Kind::Count:
        value = text.toLongLong(&ok);
        break;
    default:
        value = text;
    }
    if (ok && set(record, value))
        return true;
    *error = QStringLiteral("The field %1 cannot be \"%2\".").arg(QLatin1String(name), text);
    return false;
}

bool RecordField::setFromJson(DeviceRecord &record, const QJsonValue &json, QString *error) const
{
    // A line of an earlier form lacks the fields added since.
    if (form > 1 && json.isUndefined())
        return true;
    QVariant value;
    bool ok = true;
    switch (kind) {
    case Kind::Words:
    case Kind::Lines: {
        QStringList list;
        const QJsonArray array = json.toArray();
        for (const QJsonValue &item : array) {
            ok = ok && item.isString();
            list << item.toString();
        }
        ok = ok && json.isArray();
        value = list;
        break;
    }
    case Kind::Time:
        value = parseTime(json.toString());
        ok = value.toDateTime().isValid();
        break;
    case Kind::Serial:
        ok = json.isNull() || json.isString();
        if (json.isString())
            value = QVariant::fromValue(json.toString().toULongLong(&ok));
        break;
    case Kind::Flag:
        ok = json.isBool();
        value = json.toBool();
        break;
    case Kind::Count:
        // Whole numbers only: a fraction or an exponent is no count.
        value = json.toVariant();
        ok = value.typeId() == QMetaType::LongLong;
        break;
    default:
        ok = json.isString();
        value = json.toString();
    }
    if (ok && set(record, value))
        return true;
    *error = QStringLiteral("The field %1 is missing or not of its form.").arg(QLatin1String(name));
    return false;
}

void RecordField::setFromSql(DeviceRecord &record, const QVariant &value) const
{
    switch (kind) {
    case Kind::Words:
        set(record, value.toString().split(WordsSeparator, Qt::SkipEmptyParts));
        break;
    case Kind::Lines:
        set(record, value.toString().split(SqlLinesSeparator, Qt::SkipEmptyParts));
        break;
    case Kind::Time:
        set(record, parseTime(value.toString()));
        break;
    case Kind::Serial:
        set(record, value.isNull() ? QVariant() : QVariant::fromValue(value.toString().toULongLong()));
        break;
    case Kind::Flag:
        set(record, value.toInt() != 0);
        break;
    case Kind::Count:
        set(record, value.toLongLong());
        break;
    default:
        set(record, value.toString());
    }
}

QString RecordField::columnDefinition() const
{
    return QLatin1String(column) + QLatin1Char(' ') + QLatin1String(columnType);
}

QString RecordField::columnDefinitions()
{
    return columnList(false, [](const RecordField &f) { return f.columnDefinition(); });
}

QString RecordField::recordColumns()
{
    return columnList(true, [](const RecordField &f) { return QString::fromLatin1(f.column); });
}

QString RecordField::recordColumns(int form)
{
    QStringList items;
    for (const RecordField &f : Fields)
        if (f.inRecord())
            items << f.columnIn(form);
    return items.join(QLatin1String(", "));
}

QString RecordField::columnIn(int form) const
{
    return this->form <= form ? QString::fromLatin1(column) : QStringLiteral("NULL");
}

QString RecordField::allColumns()
{
    return columnList(false, [](const RecordField &f) { return QString::fromLatin1(f.column); });
}
