#include "BenchIdentity.h"

#include <QFile>
#include <QSysInfo>
#include <unistd.h>

namespace {

// The first line of a small system file, or nothing where it cannot be read.
QString firstLine(const char *path)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readLine(256)).trimmed();
}

} // namespace

BenchIdentity BenchIdentity::current()
{
    static const QString machine = firstLine("/etc/machine-id");
    static const QString boot = firstLine("/proc/sys/kernel/random/boot_id");
    return {QSysInfo::machineHostName(), machine, boot, qint64(::getpid())};
}
