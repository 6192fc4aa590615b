#include "CsvRow.h"

namespace {

const QChar Quote = QLatin1Char('"');
const QChar Comma = QLatin1Char(',');
const QChar Apostrophe = QLatin1Char('\'');

// A spreadsheet takes a cell that begins with one of these as a formula.
bool looksLikeFormula(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == Apostrophe)
        ++i;
    return i < text.size() && QStringView(u"=+-@").contains(text.at(i));
}

QString quoted(const QString &field)
{
    const QString text = looksLikeFormula(field) ? Apostrophe + field : field;
    if (!text.contains(Comma) && !text.contains(Quote) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString out = text;
    out.replace(Quote, QLatin1String("\"\""));
    return Quote + out + Quote;
}

} // namespace

QString CsvRow::join(const QStringList &fields)
{
    QStringList out;
    out.reserve(fields.size());
    for (const QString &f : fields)
        out << quoted(f);
    return out.join(Comma);
}

std::optional<QStringList> CsvRow::split(const QString &row, QString *error)
{
    QStringList fields;
    qsizetype i = 0;
    for (;;) {
        QString field;
        if (i < row.size() && row.at(i) == Quote) {
            // Up to the quote that is not doubled; a comma or the end follows it.
            for (++i;; ++i) {
                if (i >= row.size()) {
                    *error = QStringLiteral("A quoted field of the CSV row has no closing quote.");
                    return std::nullopt;
                }
                if (row.at(i) != Quote)
                    field += row.at(i);
                else if (i + 1 < row.size() && row.at(i + 1) == Quote)
                    field += row.at(++i);
                else
                    break;
            }
            ++i;
            if (i < row.size() && row.at(i) != Comma) {
                *error = QStringLiteral("A quoted field of the CSV row goes on after its closing quote (column %1).").arg(i + 1);
                return std::nullopt;
            }
        } else {
            const qsizetype end = row.indexOf(Comma, i);
            field = row.mid(i, end < 0 ? -1 : end - i);
            if (field.contains(Quote)) {
                *error = QStringLiteral("An unquoted field of the CSV row holds a quote (column %1).").arg(i + 1);
                return std::nullopt;
            }
            i = end < 0 ? row.size() : end;
        }
        if (field.startsWith(Apostrophe) && looksLikeFormula(field))
            field.remove(0, 1);
        fields << field;
        if (i >= row.size())
            return fields;
        ++i; // the comma
    }
}
