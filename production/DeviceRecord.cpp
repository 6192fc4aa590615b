#include "DeviceRecord.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// The columns in order; the JSON keys are the same names.
const char *const Columns[] = {
    "time",       "host",         "port",          "port_path", "bios_code", "device",  "commands",
    "file",       "image_sha256", "buffer_sum",    "serial",    "serial_text", "outcome", "passed",
    "duration_ms", "success",     "failure",
};

// Several texts in one CSV field.
const QString ListSeparator = QStringLiteral(" | ");

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString DeviceRecord::timeText() const
{
    // Written with the offset in every case, "Z" never: a local record reads
    // as local time.
    const QDateTime withOffset = time.toOffsetFromUtc(time.offsetFromUtc());
    QString text = withOffset.toString(Qt::ISODateWithMs);
    if (text.endsWith(QLatin1Char('Z'))) {
        text.chop(1);
        text += QLatin1String("+00:00");
    }
    return text;
}

QString DeviceRecord::csvHeader()
{
    QStringList names;
    for (const char *name : Columns)
        names << QLatin1String(name);
    return names.join(QLatin1Char(','));
}

QString DeviceRecord::csvRow() const
{
    const QStringList fields = {
        timeText(),
        host,
        portEntry,
        portPath,
        biosCode,
        device,
        commands.join(QLatin1Char(' ')),
        fileName,
        imageSha256,
        bufferChecksum,
        serial ? QString::number(*serial) : QString(),
        serialText,
        outcome.join(ListSeparator),
        passed ? QStringLiteral("pass") : QStringLiteral("fail"),
        QString::number(durationMs),
        QString::number(successCount),
        QString::number(failureCount),
    };
    QStringList out;
    for (const QString &f : fields)
        out << csvField(f);
    return out.join(QLatin1Char(','));
}

QJsonObject DeviceRecord::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("time"), timeText());
    o.insert(QLatin1String("host"), host);
    o.insert(QLatin1String("port"), portEntry);
    o.insert(QLatin1String("port_path"), portPath);
    o.insert(QLatin1String("bios_code"), biosCode);
    o.insert(QLatin1String("device"), device);
    o.insert(QLatin1String("commands"), QJsonArray::fromStringList(commands));
    o.insert(QLatin1String("file"), fileName);
    o.insert(QLatin1String("image_sha256"), imageSha256);
    o.insert(QLatin1String("buffer_sum"), bufferChecksum);
    // A JSON number loses precision past 2^53: the number goes as text.
    o.insert(QLatin1String("serial"), serial ? QJsonValue(QString::number(*serial)) : QJsonValue());
    o.insert(QLatin1String("serial_text"), serialText);
    o.insert(QLatin1String("outcome"), QJsonArray::fromStringList(outcome));
    o.insert(QLatin1String("passed"), passed);
    o.insert(QLatin1String("duration_ms"), durationMs);
    o.insert(QLatin1String("success"), successCount);
    o.insert(QLatin1String("failure"), failureCount);
    return o;
}

QByteArray DeviceRecord::jsonLine() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}
