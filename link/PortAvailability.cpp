#include "PortAvailability.h"

#include "ProcessLiveness.h"
#include "SystemPorts.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// The pid in a lock file (ASCII, as QSerialPort and the UUCP convention
// write it) when that process still lives.
qint64 liveOwner(const QString &lockFile)
{
    QFile f(lockFile);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const qint64 pid = f.readLine(64).trimmed().toLongLong(&ok);
    return ok && ProcessLiveness::isAlive(pid) ? pid : 0;
}
#endif

#ifdef Q_OS_LINUX
QByteArray linkTarget(const QByteArray &link)
{
    char buffer[4096];
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, n) : QByteArray();
}

// The pty number a master descriptor serves ("tty-index:" in its fdinfo).
int masterIndex(const QByteArray &fdinfo)
{
    QFile f(QString::fromLocal8Bit(fdinfo));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("tty-index:"))
            return line.mid(10).trimmed().toInt();
    return -1;
}

// A process that has the device open, from /proc (every process for root,
// one's own user's otherwise). A pty's far end holds its master, and mostly
// its slave too (so the line stays up between opens): that is no holder.
qint64 processHolding(const QByteArray &device)
{
    int ptyIndex = -1;
    if (device.startsWith("/dev/pts/")) {
        bool ok = false;
        ptyIndex = device.mid(9).toInt(&ok);
        if (!ok)
            ptyIndex = -1;
    }
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return 0;
    qint64 holder = 0;
    while (const dirent *process = ::readdir(proc)) {
        bool ok = false;
        const qint64 pid = QByteArray(process->d_name).toLongLong(&ok);
        if (!ok)
            continue;
        const QByteArray base = "/proc/" + QByteArray(process->d_name);
        DIR *fds = ::opendir((base + "/fd").constData());
        if (!fds)
            continue;
        bool holds = false, farEnd = false;
        while (const dirent *fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.')
                continue;
            const QByteArray target = linkTarget(base + "/fd/" + fd->d_name);
            if (target == device)
                holds = true;
            else if (ptyIndex >= 0 && (target == "/dev/ptmx" || target == "/dev/pts/ptmx")
                     && masterIndex(base + "/fdinfo/" + fd->d_name) == ptyIndex)
                farEnd = true;
        }
        ::closedir(fds);
        if (holds && !farEnd) {
            holder = pid;
            break;
        }
    }
    ::closedir(proc);
    return holder;
}

// A process holding an flock() or a POSIX lock on the device, from
// /proc/locks: "1: FLOCK  ADVISORY  WRITE 4711 00:05:123 0 EOF", the device
// as major:minor (hex) of the file system and the inode.
qint64 processLocking(const QByteArray &device)
{
    struct stat st;
    if (::stat(device.constData(), &st) != 0)
        return 0;
    const QByteArray node = QByteArray::number(major(st.st_dev), 16).rightJustified(2, '0') + ':'
                            + QByteArray::number(minor(st.st_dev), 16).rightJustified(2, '0') + ':'
                            + QByteArray::number(quint64(st.st_ino));
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // Waiters ("1: -> FLOCK ...") hold nothing yet.
        if (fields.size() >= 6 && fields.at(1) != "->" && fields.at(5) == node)
            return fields.at(4).toLongLong();
    }
    return 0;
}
#endif

} // namespace

QStringList PortAvailability::lockFilePaths(const QString &path)
{
    static const char *const folders[] = {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                          "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"};
    QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    QStringList out;
    for (const char *folder : folders)
        out.append(QString::fromLatin1(folder) + QLatin1String("/LCK..") + name);
    return out;
}

PortAvailability::Result PortAvailability::check(const QString &path)
{
    Result r;
    r.console = SystemPorts::isConsole(path);
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    if (::access(native.constData(), F_OK) != 0) {
        r.state = State::Missing;
        return r;
    }
    for (const QString &lockFile : lockFilePaths(path)) {
        if (const qint64 pid = liveOwner(lockFile)) {
            r.state = State::Busy;
            r.ownerPid = pid;
            return r;
        }
    }
#ifdef Q_OS_LINUX
    for (const qint64 pid : {processHolding(native), processLocking(native)}) {
        if (pid) {
            r.state = State::Busy;
            r.ownerPid = pid;
            return r;
        }
    }
#endif
    if (::access(native.constData(), R_OK | W_OK) != 0)
        r.state = stateOfOpenError(errno);
#else
    Q_UNUSED(path);
#endif
    return r;
}

PortAvailability::State PortAvailability::stateOfOpenError(int error)
{
#ifdef Q_OS_UNIX
    switch (error) {
    case EBUSY:
        return State::Busy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return State::Missing;
    case EACCES:
    case EPERM:
        return State::NoRights;
    default:
        break;
    }
#else
    Q_UNUSED(error);
#endif
    return State::Free;
}

QString PortAvailability::stateName(const Result &result)
{
    if (result.console && result.state != State::Missing)
        return QStringLiteral("console");
    switch (result.state) {
    case State::Busy:
        return QStringLiteral("busy");
    case State::Missing:
        return QStringLiteral("missing");
    case State::NoRights:
        return QStringLiteral("no-rights");
    case State::Free:
        break;
    }
    return QStringLiteral("free");
}

QString PortAvailability::describe(const Result &result)
{
    QString text = stateName(result);
    if (result.ownerPid)
        text += QStringLiteral(" (pid %1)").arg(result.ownerPid);
    return text;
}
