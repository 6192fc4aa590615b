#pragma once

#include <QString>
#include <QStringList>

// Whether a serial port is free to use, found without disturbing a program
// that holds it: no line setting is changed and nothing is sent.
// - a lock file of the kind QSerialPort and other serial programs write
//   (LCK..ttyUSB0 in /run/lock and the other usual folders) naming a live
//   process: busy, held by that process;
// - a process that has the device open (Linux, from /proc; other users'
//   processes only when run as root; pseudo-terminals left out, as their far
//   end always holds them): busy, held by that process;
// - otherwise a non-blocking open of our own, dropped at once: refused with
//   EBUSY (the holder set exclusive use), or an flock() held on it: busy;
//   the device missing: missing; access refused: no rights.
// Not seen: a program of another user that holds a port without a lock
// file, exclusive use or flock(), when we are not root.
class PortAvailability
{
public:
    enum class State { Free, Busy, Missing, NoRights };

    struct Result
    {
        State state = State::Free;
        // The holder named by a lock file; 0 when unknown.
        qint64 ownerPid = 0;
    };

    static Result check(const QString &path);
    // The lock files that may exist for a port, in the folders QSerialPort looks in.
    static QStringList lockFilePaths(const QString &path);
    static QString stateName(State state);
    // The state's name, with the holder when known: "busy (pid 4711)".
    static QString describe(const Result &result);
};
