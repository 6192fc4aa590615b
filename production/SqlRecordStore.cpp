#include "SqlRecordStore.h"

#include "DeviceRecord.h"
#include "ProductionDatabase.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QVariant>

namespace {

// Several texts in one column; a status text never holds a line break.
const QChar ListSeparator = QLatin1Char('\n');

// The columns a record is read back from, in order.
const char *const ReadColumns = "recorded_at, host, port, port_path, bios_code, device, commands, file, image_sha256, "
                                "buffer_sum, serial, serial_text, outcome, passed, duration_ms, success, failure";

// UTC with milliseconds and "Z": texts that sort as the times do.
QString utcText(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QVariant text(const QString &value)
{
    // A null QString binds as SQL NULL: keep empty texts empty.
    return value.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(value);
}

} // namespace

SqlRecordStore::SqlRecordStore(std::shared_ptr<ProductionDatabase> database) : m_database(std::move(database)) {}

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
    const QDateTime local = record.time.toOffsetFromUtc(record.time.offsetFromUtc());
    const QVariantList values = {
        record.timeText(),
        utcText(record.time),
        local.date().toString(Qt::ISODate),
        text(record.host),
        QCoreApplication::applicationPid(),
        text(record.portEntry),
        text(record.portPath),
        text(record.biosCode),
        text(record.device),
        text(record.commands.join(QLatin1Char(' '))),
        text(record.fileName),
        text(record.imageSha256),
        text(record.bufferChecksum),
        m_sequence.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(m_sequence),
        // As text: a number of eight bytes does not fit a signed BIGINT.
        record.serial ? QVariant(QString::number(*record.serial)) : QVariant(QMetaType::fromType<QString>()),
        text(record.serialText),
        text(record.outcome.join(ListSeparator)),
        record.passed ? 1 : 0,
        record.durationMs,
        record.successCount,
        record.failureCount,
    };
    return m_database->execute(QStringLiteral("INSERT INTO tarvo_records (recorded_at, recorded_utc, record_day, host, pid, "
                                              "port, port_path, bios_code, device, commands, file, image_sha256, buffer_sum, "
                                              "serial_sequence, serial, serial_text, outcome, passed, duration_ms, success, "
                                              "failure) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                               values, error);
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
    *values << utcText(time);
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
    if (!database.exec(query, QStringLiteral("SELECT %1 FROM tarvo_records%2 ORDER BY id").arg(QLatin1String(ReadColumns), clause),
                       values)) {
        *error = database.faultText(database.lastFault());
        return false;
    }
    while (query.next()) {
        DeviceRecord record;
        int c = 0;
        record.time = QDateTime::fromString(query.value(c++).toString(), Qt::ISODateWithMs);
        record.host = query.value(c++).toString();
        record.portEntry = query.value(c++).toString();
        record.portPath = query.value(c++).toString();
        record.biosCode = query.value(c++).toString();
        record.device = query.value(c++).toString();
        record.commands = query.value(c++).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        record.fileName = query.value(c++).toString();
        record.imageSha256 = query.value(c++).toString();
        record.bufferChecksum = query.value(c++).toString();
        const QVariant serial = query.value(c++);
        if (!serial.isNull())
            record.serial = serial.toString().toULongLong();
        record.serialText = query.value(c++).toString();
        record.outcome = query.value(c++).toString().split(ListSeparator, Qt::SkipEmptyParts);
        record.passed = query.value(c++).toInt() != 0;
        record.durationMs = query.value(c++).toLongLong();
        record.successCount = query.value(c++).toInt();
        record.failureCount = query.value(c++).toInt();
        visit(record);
    }
    return true;
}
