#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The POSIX steps the file stores share: a descriptor that closes itself
// (and so drops its lock), whole writes, fsync, and the replacement of a
// file by a complete new one. Errors are the system's text.
namespace DurableFile {

class Descriptor
{
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor();
    // Closes what it held and takes fd.
    void reset(int fd);
    int fd() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The system's text for errno, with the path in front.
QString systemError(const QString &path);

// open(2) with O_CLOEXEC; an invalid descriptor and error on failure.
bool openFile(Descriptor &file, const QString &path, int flags, QString *error);
// An exclusive flock, waited for (the holders keep it for a few writes).
bool lockExclusive(const Descriptor &file, const QString &path, QString *error);
// All of data, or false.
bool writeAll(const Descriptor &file, const QByteArray &data, const QString &path, QString *error);
bool sync(const Descriptor &file, const QString &path, QString *error);
// Room for bytes more from offset from, taken on the disk without changing
// the file's size (fallocate, FALLOC_FL_KEEP_SIZE); where the file system
// cannot, at least that much must be free. False with the system's text
// ("No space left on device") when the room is not there.
bool reserve(const Descriptor &file, qint64 from, qint64 bytes, const QString &path, QString *error);
// fsync of the folder holding path, so that a new or renamed entry lasts.
bool syncFolder(const QString &path, QString *error);
// path replaced by data as a whole: a temporary file beside it, fsync, rename.
bool replace(const QString &path, const QByteArray &data, QString *error);

} // namespace DurableFile
