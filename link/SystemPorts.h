#pragma once

#include "ComPortMap.h"
#include "PortDescription.h"

#include <QList>
#include <QMap>
#include <QString>

class QSerialPortInfo;

// The serial ports of this machine, read afresh at every call, and the
// Com entries mapped over them.
//
// The environment variable TARVO_PORTS (paths separated by ':', ';' on
// Windows) replaces the system's listing by the ports it names, in that
// order: a seam for tests, whose pseudo-terminals the system never lists,
// and for special setups with devices it does not know.
class SystemPorts
{
public:
    static QList<PortDescription> list();
    // TARVO_COM1..TARVO_COM4; a link (such as /dev/serial/by-id/...) is
    // followed to its device, so both name the same listed port.
    static QMap<int, QString> overrides();
    static ComPortMap comPortMap();

    static PortDescription describe(const QSerialPortInfo &info);

    // The device a path names, every link and "." or "//" resolved
    // (realpath): one port has one name, so its lock file and its holders
    // are found however it was written. A missing path is returned as given.
    static QString canonical(const QString &path);
    // The kernel's console (ttyS0 on many PCs): never searched.
    static bool isConsole(const QString &path);
};
