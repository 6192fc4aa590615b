#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>

#include <sys/resource.h>

// Files as a test sets them up, and a child that may write only so much.

// Writes bytes as the whole file; false when it cannot be written.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Caps the size of any file the child writes, as `ulimit -f` does; call
// before the process starts.
inline void limitChildFileSize(QProcess &process, qint64 bytes)
{
    process.setChildProcessModifier([bytes] {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = rlim_t(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
}
