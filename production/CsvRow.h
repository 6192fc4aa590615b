#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// One row of a CSV file: fields separated by commas, a field quoted (with
// its quotes doubled) when it holds a comma, a quote or a line break.
// A field that begins with =, +, - or @ (after any apostrophes) is written
// with an apostrophe before it, so that a spreadsheet shows it as text and
// never runs it as a formula; split() takes that apostrophe off again.
// Rows written before that are read as they stand.
class CsvRow
{
public:
    static QString join(const QStringList &fields);
    // The fields of one row, without its line end (a quoted field may hold
    // line breaks); nullopt and *error for a quote out of place.
    static std::optional<QStringList> split(const QString &row, QString *error);
};
