#include "LogFileStore.h"

#include "DeviceRecord.h"
#include "DurableFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

LogFileStore::LogFileStore(const QString &path)
    : m_path(path)
    , m_csv(path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
{
}

namespace {

// Room kept on the disk past the log's end for the next record: a record
// is well under 1 KiB unless its texts are unusually long.
constexpr qint64 RecordRoom = 16 * 1024;

} // namespace

bool LogFileStore::open(QString *error)
{
    return appendLine({}, error, true);
}

bool LogFileStore::ready(QString *error)
{
    // The same check before each device: the disk may have filled or gone,
    // and the device starts only when its record has its room.
    return open(error);
}

bool LogFileStore::append(const DeviceRecord &record, QString *error)
{
    if (!m_csv)
        return appendLine([&record](int) { return record.jsonLine() + '\n'; }, error);
    return appendLine([&record](int form) { return record.csvRow(form).toUtf8() + '\n'; }, error);
}

int LogFileStore::csvFormOf(const DurableFile::Descriptor &file, QString *error) const
{
    // The header line, as far as a header goes.
    QByteArray head(4096, '\0');
    const ssize_t got = ::pread(file.fd(), head.data(), size_t(head.size()), 0);
    if (got < 0) {
        *error = DurableFile::systemError(m_path);
        return 0;
    }
    head.truncate(got);
    const int form = DeviceRecord::csvForm(QString::fromUtf8(head.left(head.indexOf('\n'))));
    if (form == 0)
        *error = QStringLiteral("%1: the first line is not a header of this program's log; give a new log file")
                     .arg(m_path);
    return form;
}

bool LogFileStore::appendLine(const std::function<QByteArray(int form)> &line, QString *error, bool reserveNext)
{
    using namespace DurableFile;
    Descriptor file;
    if (!openFile(file, m_path, O_RDWR | O_APPEND | O_CREAT, error))
        return false;
    if (!lockExclusive(file, m_path, error))
        return false;
    struct stat info;
    if (::fstat(file.fd(), &info) < 0) {
        *error = systemError(m_path);
        return false;
    }
    const bool created = info.st_size == 0;
    // A CSV log goes on in the form its header has: its rows keep its columns.
    int form = RecordField::CurrentForm;
    if (m_csv && !created && S_ISREG(info.st_mode) && (form = csvFormOf(file, error)) == 0)
        return false;
    QByteArray data = line ? line(form) : QByteArray();
    if (m_csv && created && S_ISREG(info.st_mode))
        data.prepend(DeviceRecord::csvHeader().toUtf8() + '\n');
    if (reserveNext && S_ISREG(info.st_mode)
        && !reserve(file, info.st_size, qint64(data.size()) + RecordRoom, m_path, error))
        return false;
    if (data.isEmpty())
        return true;
    if (!writeAll(file, data, m_path, error)) {
        // What did get out is cut off: the lock still keeps others out.
        if (S_ISREG(info.st_mode) && ::ftruncate(file.fd(), info.st_size) == 0)
            ::fsync(file.fd());
        return false;
    }
    if (!sync(file, m_path, error))
        return false;
    return !created || !S_ISREG(info.st_mode) || syncFolder(m_path, error);
}
