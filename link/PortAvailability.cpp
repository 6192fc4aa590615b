#include "PortAvailability.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
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
    if (!ok || pid <= 0)
        return 0;
    if (::kill(pid_t(pid), 0) == 0 || errno == EPERM)
        return pid;
    return 0;
}

#ifdef Q_OS_LINUX
// A process that has the device open, from /proc (every process for root,
// one's own otherwise). A pseudo-terminal's slave is always held by its
// far end, so for those it says nothing.
qint64 processHolding(const QString &path)
{
    if (path.startsWith(QLatin1String("/dev/pts/")))
        return 0;
    const QString device = QFileInfo(path).canonicalFilePath();
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pidText : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const qint64 pid = pidText.toLongLong(&ok);
        if (!ok)
            continue;
        const QDir fds(proc.filePath(pidText + QLatin1String("/fd")));
        for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            if (QFile::symLinkTarget(fds.filePath(fd)) == device)
                return pid;
    }
    return 0;
}
#endif
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
    if (const qint64 pid = processHolding(path)) {
        r.state = State::Busy;
        r.ownerPid = pid;
        return r;
    }
#endif
    const int fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case EBUSY:
            r.state = State::Busy;
            break;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            r.state = State::Missing;
            break;
        case EACCES:
        case EPERM:
            r.state = State::NoRights;
            break;
        default:
            break;
        }
        return r;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        r.state = State::Busy;
    ::close(fd);
#else
    Q_UNUSED(path);
#endif
    return r;
}

QString PortAvailability::stateName(State state)
{
    switch (state) {
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
    QString text = stateName(result.state);
    if (result.ownerPid)
        text += QStringLiteral(" (pid %1)").arg(result.ownerPid);
    return text;
}
