#pragma once

#include <QList>
#include <QString>
#include <optional>

// One serial port as the system lists it: what the Com entries are mapped
// from and what the port listing shows.
struct PortDescription
{
    // The device to open: /dev/ttyUSB0, /dev/cu.usbserial-A50285BI, COM3.
    QString path;
    // The short name: ttyUSB0, COM3.
    QString name;
    QString description;
    QString manufacturer;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    QString serialNumber;
    // Where the adapter is plugged in: the USB port chain and interface,
    // such as 1-1.2:1.0. Unlike the ttyUSBn number it stays the same when
    // the adapter is plugged in again into the same socket.
    QString usbLocation;
    // A USB adapter (a USB serial converter or a CDC-ACM device).
    bool usb = false;
    // A built-in port with a UART behind it (ttyS0 on a PC that has one).
    bool builtIn = false;

    // The listed port with that path; one that knows only its path and name
    // when none is listed (a port the system does not know).
    static PortDescription find(const QList<PortDescription> &listed, const QString &path)
    {
        for (const PortDescription &p : listed)
            if (p.path == path)
                return p;
        PortDescription bare;
        bare.path = path;
        bare.name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        return bare;
    }
};
