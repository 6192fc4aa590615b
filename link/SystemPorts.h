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
    // Where a Linux tty sits on the USB bus (1-1.2:1.0), from sysfs.
    static QString usbLocation(const QString &name);
};
