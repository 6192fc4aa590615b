#pragma once

#include "PortDescription.h"

#include <QList>
#include <QMap>
#include <QString>

// Which serial port stands behind "Com1".."Com4", worked out from the
// ports the system lists (a pure function of its inputs):
// - an entry named by TARVO_COMn is that device;
// - Linux: a built-in port with a UART keeps its number (ttyS0 is Com1);
// - USB and CDC-ACM adapters fill the entries left, ordered by USB serial
//   number, then by the USB socket they are plugged into (adapters without
//   a serial number after those with one), so the order stays the same
//   across restarts and re-plugging while the set of adapters does not
//   change; then further built-in ports by number; then any other port in
//   the order of the listing;
// - macOS: the same over the /dev/cu.* devices (no port is built in);
// - Windows: "ComN" is COMN.
class ComPortMap
{
public:
    static constexpr int EntryCount = 4;

    enum class Platform { Linux, MacOS, Windows };
    static Platform hostPlatform();

    // overrides: entry number (1-4) -> device.
    static ComPortMap build(const QList<PortDescription> &listed, const QMap<int, QString> &overrides,
                            Platform platform);

    // The device behind "ComN"; "" when there is none or N is outside 1-4.
    QString device(int comNumber) const;
    // The first entry a device is mapped to; 0 for none.
    int comNumberOf(const QString &path) const;
    // Every usable port in the order a search tries them: the entries
    // Com1..Com4 first, then the ports without an entry; each device once,
    // however many entries name it.
    const QList<PortDescription> &ports() const { return m_ports; }

    // Compares texts with runs of digits taken as numbers (ttyUSB9 < ttyUSB10).
    static int naturalCompare(const QString &a, const QString &b);

private:
    QString m_devices[EntryCount];
    QList<PortDescription> m_ports;
};
