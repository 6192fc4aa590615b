#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

#include "RecordField.h"

// One device run as the production record keeps it: where and when, with
// which programmer, device and image, the serial number written, what the
// run showed and the counters after it.
class DeviceRecord
{
public:
    // ISO-8601 with the zone's offset.
    QDateTime time;
    QString host;
    // The port as the user named it ("Com1", "/dev/ttyUSB0") and the device
    // path it maps to.
    QString portEntry;
    QString portPath;
    // The programmer's firmware date (Bios Code).
    QString biosCode;
    QString device;
    QStringList commands;
    QString fileName;
    // SHA-256 (lower-case hex) over the device range as sent, serial included.
    QString imageSha256;
    // As the window shows it: "1A2BH".
    QString bufferChecksum;
    std::optional<quint64> serial;
    // The serial number as written into the image ("00001000", "E8 03 00 00").
    QString serialText;
    // The status texts of the run: pass texts, or the failure text and
    // "Command......Abort".
    QStringList outcome;
    bool passed = false;
    qint64 durationMs = 0;
    // The counters after the run, never wrapped.
    int successCount = 0;
    int failureCount = 0;
    // The program's version that wrote the record.
    QString version;
    // A fuse write: the value written ("1F"); empty when none was written.
    QString fuseValue;
    // The code scanned for the device (its barcode), when one was.
    QString scannedCode;
    // The job the device ran under: its name and the SHA-256 (lower-case
    // hex) of its file; empty without a job.
    QString jobName;
    QString jobSha256;
    // Who ran the device and for which lot or work order, as given at the
    // start; empty when not asked.
    QString operatorName;
    QString lot;

    QString timeText() const;

    // The CSV header and row, without line end; fields quoted where needed.
    // The fields are RecordField's, in its order.
    // form: RecordField's form; an older one leaves out the fields added
    // since (a log begun in that form goes on in it).
    static QString csvHeader(int form = RecordField::CurrentForm);
    QString csvRow(int form = RecordField::CurrentForm) const;
    // The form whose header is header; 0 for none.
    static int csvForm(const QString &header);
    QJsonObject toJson() const;
    // One compact JSON object, without line end.
    QByteArray jsonLine() const;

    // A record back from its forms; nullopt and *error naming the field
    // that is missing or not of its form.
    static std::optional<DeviceRecord> fromCsvRow(const QString &row, QString *error);
    static std::optional<DeviceRecord> fromJson(const QJsonObject &object, QString *error);
    static std::optional<DeviceRecord> fromJsonLine(const QByteArray &line, QString *error);

    // The step that failed ("erase", "blank", "program", "verify", "lock",
    // or "other"); empty for a record that passed. Read from the status
    // texts: the failure text stands before "Command......Abort".
    QString failedStep() const;
    static QString failedStepOf(const QStringList &outcome);
    // The steps in the order a device goes through them, "other" last.
    static QStringList failedStepNames();

    // Times compare as instants.
    bool operator==(const DeviceRecord &) const = default;
};
