#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What Linux's sysfs tells about a tty, read without udev (containers and
// small systems have no udev data): whether a USB device stands behind it,
// with its ids, serial number and socket, and which ttys are the console.
//
// The root is /sys, or the folder TARVO_SYSFS_ROOT names: a seam for tests,
// which lay out a fake tree of USB serial adapters there.
class SysfsTty
{
public:
    struct Usb
    {
        quint16 vendorId = 0;
        quint16 productId = 0;
        QString serialNumber;
        QString manufacturer;
        QString product;
        // The interface the tty belongs to: 1-1.2:1.0 (socket chain, then
        // configuration and interface number).
        QString location;
    };

    static QString root();
    // Whether sysfs knows the tty at all (class/tty/NAME/device is there).
    static bool hasDevice(const QString &name);
    // The USB device behind a tty (ttyUSB0 of a USB serial converter, ttyACM0
    // of a CDC-ACM device); nothing for a built-in or PCI UART.
    static std::optional<Usb> usb(const QString &name);
    // The ttys the kernel writes its console to: class/tty/console/active,
    // and for the real /sys also /proc/consoles and console= of the kernel's
    // command line.
    static QStringList consoleNames();
    // The names in those texts (also a seam for tests).
    static QStringList consoleNames(const QByteArray &active, const QByteArray &consoles, const QByteArray &commandLine);
};
