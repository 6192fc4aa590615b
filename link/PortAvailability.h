#pragma once

#include <QString>
#include <QStringList>

// Whether a serial port is free to use, found without opening it: a listing
// never raises a board's DTR, and a holder is never disturbed.
// - the device missing: missing;
// - a lock file of the kind QSerialPort and other serial programs write
//   (LCK..ttyUSB0 in /run/lock and the other usual folders) naming a live
//   process: busy, held by that process;
// - a process that has the device open (Linux, from /proc: other users'
//   processes only when run as root); for a pseudo-terminal, a process that
//   also holds its master is the far end of the line, not a holder;
// - an flock() or a POSIX lock on the device (/proc/locks): busy;
// - no read and write rights: no rights.
// Paths are taken as they are: callers resolve them first (SystemPorts::
// canonical), so every spelling of a port meets the same lock file.
// Not seen without an open: a program of another user that holds a port
// with exclusive use and no lock file, when we are not root; the open
// itself then fails with EBUSY.
class PortAvailability
{
public:
    enum class State { Free, Busy, Missing, NoRights };

    struct Result
    {
        State state = State::Free;
        // The holder; 0 when unknown.
        qint64 ownerPid = 0;
        // The kernel's console: listed as such and never searched, though
        // it may be opened when chosen by name.
        bool console = false;
    };

    static Result check(const QString &path);
    // What a failed open's errno says about the port: EBUSY busy, ENOENT,
    // ENODEV and ENXIO missing, EACCES and EPERM no rights; Free for others.
    static State stateOfOpenError(int error);
    // The lock files that may exist for a port, in the folders QSerialPort looks in.
    static QStringList lockFilePaths(const QString &path);
    // "free", "busy", "missing", "no-rights"; "console" for the console
    // (which is mostly busy too: a login prompt holds it).
    static QString stateName(const Result &result);
    // The state's name, with the holder when known: "busy (pid 4711)".
    static QString describe(const Result &result);
};
