#pragma once

#include <QDateTime>
#include <QMap>
#include <QPair>
#include <QString>
#include <optional>

// How many devices passed and failed.
struct RecordCounts
{
    qint64 passed = 0;
    qint64 failed = 0;

    qint64 devices() const { return passed + failed; }
    // Passed of all devices, in per cent; none without devices.
    std::optional<double> yieldPercent() const
    {
        return devices() > 0 ? std::optional<double>(100.0 * double(passed) / double(devices())) : std::nullopt;
    }
    bool operator==(const RecordCounts &) const = default;
};

// The production records counted by day (the benches' calendar,
// "2026-12-01"), by device, by job and lot, by bench (host and port entry)
// and in all; keys in order. A record without a job or lot counts under
// empty texts.
struct RecordSummary
{
    QMap<QString, RecordCounts> byDay;
    QMap<QString, RecordCounts> byDevice;
    // (job name, lot)
    QMap<QPair<QString, QString>, RecordCounts> byJobLot;
    // (host, port entry)
    QMap<QPair<QString, QString>, RecordCounts> byBench;
    // The failed devices by the step that failed: "erase", "blank",
    // "program", "verify", "lock", "other" (DeviceRecord::failedStep); only
    // steps that failed at least once.
    QMap<QString, qint64> failedSteps;
    RecordCounts total;

    // The step most devices failed at; empty when none failed. Of steps
    // failed equally often, the earliest in a device's run.
    QString mostFailedStep() const;

    bool operator==(const RecordSummary &) const = default;
};

// The devices of one hour (its start, in UTC).
struct HourCounts
{
    QDateTime hour;
    RecordCounts counts;

    bool operator==(const HourCounts &) const = default;
};

// Which records a question is about; an empty text asks nothing of its
// field.
struct ReportFilter
{
    // A day "2026-12-01" of the benches' calendar or an ISO-8601 time
    // (ProductionReport::checkSince): the records from then on.
    QString since;
    // The job's name and the lot, exactly.
    QString job;
    QString lot;
};
