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

bool LogFileStore::open(QString *error)
{
    return appendLine(QByteArray(), error);
}

bool LogFileStore::ready(QString *error)
{
    // The same check before each device: the disk may have filled or gone.
    return open(error);
}

bool LogFileStore::append(const DeviceRecord &record, QString *error)
{
    const QByteArray line = m_csv ? record.csvRow().toUtf8() : record.jsonLine();
    return appendLine(line + '\n', error);
}

bool LogFileStore::appendLine(const QByteArray &line, QString *error)
{
    using namespace DurableFile;
    Descriptor file;
    if (!openFile(file, m_path, O_WRONLY | O_APPEND | O_CREAT, error))
        return false;
    if (!lockExclusive(file, m_path, error))
        return false;
    struct stat info;
    if (::fstat(file.fd(), &info) < 0) {
        *error = systemError(m_path);
        return false;
    }
    const bool created = info.st_size == 0;
    QByteArray data = line;
    if (m_csv && created && S_ISREG(info.st_mode))
        data.prepend(DeviceRecord::csvHeader().toUtf8() + '\n');
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
