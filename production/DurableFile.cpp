#include "DurableFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace DurableFile {

Descriptor::~Descriptor()
{
    reset(-1);
}

void Descriptor::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

QString systemError(const QString &path)
{
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

bool openFile(Descriptor &file, const QString &path, int flags, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do
        fd = ::open(name.constData(), flags | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        *error = systemError(path);
        return false;
    }
    file.reset(fd);
    return true;
}

bool lockExclusive(const Descriptor &file, const QString &path, QString *error)
{
    int rc;
    do
        rc = ::flock(file.fd(), LOCK_EX);
    while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        *error = systemError(path);
        return false;
    }
    return true;
}

bool writeAll(const Descriptor &file, const QByteArray &data, const QString &path, QString *error)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(file.fd(), data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            *error = systemError(path);
            return false;
        }
        done += n;
    }
    return true;
}

bool sync(const Descriptor &file, const QString &path, QString *error)
{
    if (::fsync(file.fd()) < 0 && errno != EINVAL) {
        // EINVAL: a special file (a terminal, /dev/null) that has nothing to sync.
        *error = systemError(path);
        return false;
    }
    return true;
}

bool reserve(const Descriptor &file, qint64 from, qint64 bytes, const QString &path, QString *error)
{
    // The blocks are taken now and the file's size stays: the next write
    // into them cannot fail for want of space.
    int result;
    do
        result = ::fallocate(file.fd(), FALLOC_FL_KEEP_SIZE, off_t(from), off_t(bytes));
    while (result < 0 && errno == EINTR);
    if (result == 0)
        return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS) {
        *error = systemError(path);
        return false;
    }
    // A file system that cannot reserve: at least the room must be free now.
    struct statvfs space;
    if (::fstatvfs(file.fd(), &space) < 0) {
        *error = systemError(path);
        return false;
    }
    if (quint64(space.f_bavail) * quint64(space.f_frsize) < quint64(bytes)) {
        errno = ENOSPC;
        *error = systemError(path);
        return false;
    }
    return true;
}

bool syncFolder(const QString &path, QString *error)
{
    const QString folder = QFileInfo(path).absolutePath();
    Descriptor dir;
    if (!openFile(dir, folder, O_RDONLY | O_DIRECTORY, error))
        return false;
    return sync(dir, folder, error);
}

bool replace(const QString &path, const QByteArray &data, QString *error)
{
    const QString temporary = path + QStringLiteral(".tmp");
    {
        Descriptor file;
        if (!openFile(file, temporary, O_WRONLY | O_CREAT | O_TRUNC, error))
            return false;
        if (!writeAll(file, data, temporary, error) || !sync(file, temporary, error)) {
            ::unlink(QFile::encodeName(temporary).constData());
            return false;
        }
    }
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) < 0) {
        *error = systemError(path);
        ::unlink(QFile::encodeName(temporary).constData());
        return false;
    }
    return syncFolder(path, error);
}

} // namespace DurableFile
