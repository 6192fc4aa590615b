// libFuzzer target for reading production records back from the log's CSV
// rows and JSON lines. Besides surviving any input it checks that a row or
// line it reads writes out again in a form that reads back to the same
// record, and that the CSV fields of any row it splits join and split back
// unchanged, and that every failed record names the step it failed at.
#include "CsvRow.h"
#include "DeviceRecord.h"

#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// A record read from input writes out in a form that reads back to it.
template <typename Read, typename Write>
void roundTrip(const auto &input, Read read, Write write)
{
    QString error;
    const std::optional<DeviceRecord> record = read(input, &error);
    if (!record)
        return;
    // A failed device always has a step to count it under.
    check(record->passed == record->failedStep().isEmpty());
    const auto written = write(*record);
    const std::optional<DeviceRecord> again = read(written, &error);
    check(again && *again == *record && write(*again) == written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);
    QString error;
    if (const std::optional<QStringList> fields = CsvRow::split(text, &error))
        check(CsvRow::split(CsvRow::join(*fields), &error) == fields);
    roundTrip(text, &DeviceRecord::fromCsvRow, [](const DeviceRecord &r) { return r.csvRow(); });
    roundTrip(bytes, &DeviceRecord::fromJsonLine, [](const DeviceRecord &r) { return r.jsonLine(); });
    return 0;
}
