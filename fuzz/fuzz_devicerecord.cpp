// libFuzzer target for reading production records back from the log's CSV
// rows and JSON lines. Besides surviving any input it checks that a row or
// line it reads writes out again in a form that reads back to the same
// record, and that the CSV fields of any row it splits join and split back
// unchanged.
#include "CsvRow.h"
#include "DeviceRecord.h"

#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void csvRoundTrip(const QString &text)
{
    QString error;
    if (const std::optional<QStringList> fields = CsvRow::split(text, &error))
        check(CsvRow::split(CsvRow::join(*fields), &error) == fields);
    const std::optional<DeviceRecord> record = DeviceRecord::fromCsvRow(text, &error);
    if (!record)
        return;
    const QString written = record->csvRow();
    const std::optional<DeviceRecord> again = DeviceRecord::fromCsvRow(written, &error);
    check(again && *again == *record && again->csvRow() == written);
}

void jsonRoundTrip(const QByteArray &line)
{
    QString error;
    const std::optional<DeviceRecord> record = DeviceRecord::fromJsonLine(line, &error);
    if (!record)
        return;
    const QByteArray written = record->jsonLine();
    const std::optional<DeviceRecord> again = DeviceRecord::fromJsonLine(written, &error);
    check(again && *again == *record && again->jsonLine() == written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    csvRoundTrip(QString::fromUtf8(bytes));
    jsonRoundTrip(bytes);
    return 0;
}
