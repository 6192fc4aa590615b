#include "DeviceRecord.h"

#include "CommandTexts.h"
#include "CsvRow.h"
#include "RecordField.h"

#include <QJsonDocument>
#include <algorithm>

namespace {

// A status text names its step in the letters it begins with: "Erase.....Time-Out",
// "Blank Check..Error", "Program..Fail:01A3", "Lock1,2.......Fail".
struct StepText
{
    const char *leadingWord;
    const char *step;
};
const StepText StepTexts[] = {
    {"Erase", "erase"}, {"Blank", "blank"}, {"Program", "program"}, {"Verify", "verify"}, {"Lock", "lock"},
};
const char *const OtherStep = "other";

QString leadingWord(const QString &text)
{
    qsizetype end = 0;
    while (end < text.size() && text.at(end).isLetter())
        ++end;
    return text.left(end);
}

} // namespace

QString DeviceRecord::timeText() const
{
    return RecordField::timeText(time);
}

QString DeviceRecord::failedStep() const
{
    return passed ? QString() : failedStepOf(outcome);
}

QString DeviceRecord::failedStepOf(const QStringList &outcome)
{
    // The failure text stands on the line above the last abort; a failure
    // that did not end a command run (a fuse write) is the last text that
    // is no pass.
    QString failure;
    const qsizetype abort = outcome.lastIndexOf(CommandTexts::commandAbort());
    if (abort > 0) {
        failure = outcome.at(abort - 1);
    } else {
        for (auto it = outcome.crbegin(); it != outcome.crend() && failure.isEmpty(); ++it)
            if (!it->endsWith(QLatin1String("Pass")) && *it != CommandTexts::commandAbort())
                failure = *it;
    }
    const QString word = leadingWord(failure);
    for (const StepText &s : StepTexts)
        if (word == QLatin1String(s.leadingWord))
            return QLatin1String(s.step);
    return QLatin1String(OtherStep);
}

QStringList DeviceRecord::failedStepNames()
{
    QStringList names;
    for (const StepText &s : StepTexts)
        names << QLatin1String(s.step);
    return names << QLatin1String(OtherStep);
}

QString DeviceRecord::csvHeader(int form)
{
    QStringList names;
    for (const RecordField &f : RecordField::all())
        if (f.inRecord() && f.form <= form)
            names << QLatin1String(f.name);
    return CsvRow::join(names);
}

QString DeviceRecord::csvRow(int form) const
{
    QStringList fields;
    for (const RecordField &f : RecordField::all())
        if (f.inRecord() && f.form <= form)
            fields << f.csvText(*this);
    return CsvRow::join(fields);
}

int DeviceRecord::csvForm(const QString &header)
{
    for (int form = RecordField::CurrentForm; form >= 1; --form)
        if (header == csvHeader(form))
            return form;
    return 0;
}

QJsonObject DeviceRecord::toJson() const
{
    QJsonObject o;
    for (const RecordField &f : RecordField::all())
        if (f.inRecord())
            o.insert(QLatin1String(f.name), f.jsonValue(*this));
    return o;
}

QByteArray DeviceRecord::jsonLine() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<DeviceRecord> DeviceRecord::fromCsvRow(const QString &row, QString *error)
{
    const std::optional<QStringList> fields = CsvRow::split(row, error);
    if (!fields)
        return std::nullopt;
    const auto all = RecordField::all();
    const auto countOf = [&all](int form) {
        return std::ranges::count_if(all, [form](const RecordField &f) { return f.inRecord() && f.form <= form; });
    };
    const qsizetype count = countOf(RecordField::CurrentForm);
    // A row of an earlier form has fewer fields: those it has come first.
    int form = RecordField::CurrentForm;
    while (form > 1 && fields->size() != countOf(form))
        --form;
    if (fields->size() != countOf(form)) {
        *error = QStringLiteral("The CSV row has %1 fields; a record has %2.").arg(fields->size()).arg(count);
        return std::nullopt;
    }
    DeviceRecord record;
    qsizetype next = 0;
    for (const RecordField &f : all)
        if (f.inRecord() && f.form <= form && !f.setFromCsv(record, fields->at(next++), error))
            return std::nullopt;
    return record;
}

std::optional<DeviceRecord> DeviceRecord::fromJson(const QJsonObject &object, QString *error)
{
    DeviceRecord record;
    for (const RecordField &f : RecordField::all())
        if (f.inRecord() && !f.setFromJson(record, object.value(QLatin1String(f.name)), error))
            return std::nullopt;
    return record;
}

std::optional<DeviceRecord> DeviceRecord::fromJsonLine(const QByteArray &line, QString *error)
{
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parse);
    if (!document.isObject()) {
        *error = parse.error == QJsonParseError::NoError ? QStringLiteral("The JSON line holds no object.")
                                                         : QStringLiteral("The JSON line cannot be read: %1 (offset %2).")
                                                               .arg(parse.errorString())
                                                               .arg(parse.offset);
        return std::nullopt;
    }
    return fromJson(document.object(), error);
}
