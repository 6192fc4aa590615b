#pragma once

#include <QString>
#include <QStringList>

// Whether a serial port is free to use, found without disturbing a program
// that holds it: no line setting is changed and nothing is sent.
// - a lock file of the kind QSerialPort and other serial programs write
//   (LCK..ttyUSB0 in /run/lock and the other usual folders) naming a live
//   process: busy, held by that process;
// - otherwise a non-blocking open of our own, dropped at once: refused with
//   EBUSY (the holder set exclusive use), or an flock() held on it: busy;
//   the device missing: missing; access refused: no rights.
// A program that holds a port without any of these marks is not seen.
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
};
