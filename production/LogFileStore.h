#pragma once

#include "DurableFile.h"
#include "RecordStore.h"

#include <functional>

// The production log as a file: CSV with a header line when its name ends
// in ".csv", JSON lines otherwise. Each record goes out in one write under
// an exclusive lock and is synced before append returns, so processes
// sharing the log never interleave lines. Nothing written is ever rewritten.
// Before each device (ready) room for its record is reserved on the disk,
// so that a full disk stops the line before a device, not after it.
// A CSV log begun by an earlier version keeps its columns.
class LogFileStore : public RecordStore
{
public:
    explicit LogFileStore(const QString &path);

    bool open(QString *error) override;
    bool ready(QString *error) override;
    bool append(const DeviceRecord &record, QString *error) override;
    QString name() const override { return m_path; }

private:
    // Appends line (the header first into an empty CSV log); a partial
    // write is cut off again so that no broken line stays behind. With
    // reserveNext, room for the next record is taken on the disk first.
    // line gives the record's line in the log's form (RecordField's form).
    bool appendLine(const std::function<QByteArray(int form)> &line, QString *error, bool reserveNext = false);
    // The form of the existing CSV log's header; 0 with *error for none.
    int csvFormOf(const DurableFile::Descriptor &file, QString *error) const;

    QString m_path;
    bool m_csv;
};
