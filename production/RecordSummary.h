#pragma once

#include <QMap>
#include <QString>

// How many devices passed and failed.
struct RecordCounts
{
    qint64 passed = 0;
    qint64 failed = 0;

    qint64 devices() const { return passed + failed; }
    bool operator==(const RecordCounts &) const = default;
};

// The production records counted by day (the benches' calendar,
// "2026-12-01"), by device and in all; days and devices in order.
struct RecordSummary
{
    QMap<QString, RecordCounts> byDay;
    QMap<QString, RecordCounts> byDevice;
    RecordCounts total;

    bool operator==(const RecordSummary &) const = default;
};
