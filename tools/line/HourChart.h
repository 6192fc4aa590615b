#pragma once

#include <QList>
#include <QString>

// Devices per hour as an SVG bar chart, drawn by the server so the page
// needs no chart code: passed below, failed stacked above and hatched, so
// the two differ in more than colour; each bar's title gives its counts.
class HourChart
{
public:
    struct Bar
    {
        // "14:00"
        QString label;
        qint64 passed = 0;
        qint64 failed = 0;
    };

    static QString svg(const QList<Bar> &bars);
};
