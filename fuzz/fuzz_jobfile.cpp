// libFuzzer target for the job file reader. Besides surviving any input it
// checks that a job it accepts writes out in a form that reads back to the
// same job, and that a refusal names a key or the JSON offset.
#include "JobFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<JobFile> job = JobFile::fromJson(json, &error);
    if (!job) {
        if (!error.startsWith(QLatin1Char('"')) && !error.startsWith(QLatin1String("not ")))
            abort();
        return 0;
    }
    const QByteArray written = job->toJson();
    const std::optional<JobFile> back = JobFile::fromJson(written, &error);
    if (!back || back->toJson() != written)
        abort();
    return 0;
}
