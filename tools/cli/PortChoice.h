#pragma once

#include "ComPortMap.h"

#include <QList>
#include <QString>

// What a --port value stands for, resolved against the Com entries of the
// moment: one port to use, or the ports a search tries in turn.
//   Com1..Com4      the entry (as the window maps it)
//   auto            every port, in the order of the Com entries, to be searched
//   usb:SERIAL      the USB adapter with that serial number (a search when
//                   several interfaces share it)
//   a device path   that device, resolved fully: a link such as
//                   /dev/serial/by-id/..., "//", "/./" and linked folders
//                   all lead to the one device, so every name of a port
//                   shares one lock
class PortChoice
{
public:
    struct Candidate
    {
        // The device to open ("" for an entry with nothing behind it).
        QString path;
        // The Com entry it is, 0 for none.
        int comNumber = 0;
        // How the operator's texts name it: "Com2" or the device path.
        QString shownName() const;
    };

    QList<Candidate> candidates;
    // The candidates are to be searched for the programmer, skipping busy ports.
    bool search = false;
    // The value named the port indirectly (auto, usb:, a link): the
    // device chosen is worth telling.
    bool indirect = false;
    // The value itself is wrong (exit 2).
    QString usageError;
    // The value is right, but no such port is there now (exit 3).
    QString notFound;

    static PortChoice resolve(const QString &value, const ComPortMap &map);
};
