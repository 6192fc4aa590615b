#pragma once

#include "ComPortMap.h"
#include "PortAvailability.h"

#include <QJsonObject>
#include <QList>
#include <QStringList>

// tarvo-cli --list-ports: every port in the order of the Com entries, with
// what the system says about it and whether another program holds it,
// found without opening any port (lock files and /proc only).
class PortListing
{
public:
    struct Row
    {
        int comNumber = 0;
        PortDescription port;
        PortAvailability::Result availability;
        // For an entry set to the device of an earlier one: "same device as Com1".
        QString note;
    };

    static QList<Row> rows(const ComPortMap &map);
    // One line per port, in aligned columns: entry, device, description,
    // manufacturer, vendor:product id, serial number, state ("-" for
    // nothing), and the note where there is one.
    static QStringList textLines(const QList<Row> &rows);
    static QJsonObject json(const Row &row);
};
