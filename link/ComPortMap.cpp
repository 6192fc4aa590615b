#include "ComPortMap.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

// The number of a built-in port's name (ttyS3 -> 3), -1 for other names.
int builtInNumber(const PortDescription &p)
{
    static const QRegularExpression ttyS(QStringLiteral("^ttyS(\\d+)$"));
    const QRegularExpressionMatch m = ttyS.match(p.name);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

bool adapterBefore(const PortDescription &a, const PortDescription &b)
{
    // Adapters without a serial number come after those with one.
    if (a.serialNumber.isEmpty() != b.serialNumber.isEmpty())
        return b.serialNumber.isEmpty();
    if (const int c = a.serialNumber.compare(b.serialNumber); c != 0)
        return c < 0;
    if (a.usbLocation.isEmpty() != b.usbLocation.isEmpty())
        return b.usbLocation.isEmpty();
    if (const int c = ComPortMap::naturalCompare(a.usbLocation, b.usbLocation); c != 0)
        return c < 0;
    return ComPortMap::naturalCompare(a.path, b.path) < 0;
}

} // namespace

ComPortMap::Platform ComPortMap::hostPlatform()
{
#if defined(Q_OS_WIN)
    return Platform::Windows;
#elif defined(Q_OS_MACOS)
    return Platform::MacOS;
#else
    return Platform::Linux;
#endif
}

int ComPortMap::naturalCompare(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            const qulonglong x = a.mid(i, ei - i).toULongLong();
            const qulonglong y = b.mid(j, ej - j).toULongLong();
            if (x != y)
                return x < y ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : a.compare(b);
}

ComPortMap ComPortMap::build(const QList<PortDescription> &listing, const QMap<int, QString> &overrides,
                             Platform platform)
{
    // A device listed twice is offered once (the first listing counts), and
    // a port without a device is nothing to open.
    QList<PortDescription> listed;
    for (const PortDescription &p : listing)
        if (!p.path.isEmpty()
            && std::none_of(listed.cbegin(), listed.cend(), [&p](const PortDescription &q) { return q.path == p.path; }))
            listed.append(p);
    ComPortMap map;
    PortDescription entries[EntryCount];
    bool taken[EntryCount] = {};

    auto isListed = [&listed](const QString &path) {
        return std::any_of(listed.cbegin(), listed.cend(), [&path](const PortDescription &p) { return p.path == path; });
    };
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it) {
        if (it.key() < 1 || it.key() > EntryCount || it.value().isEmpty())
            continue;
        entries[it.key() - 1] = PortDescription::find(listed, it.value());
        taken[it.key() - 1] = true;
    }
    auto overridden = [&](const PortDescription &p) {
        for (int n = 0; n < EntryCount; ++n)
            if (taken[n] && entries[n].path == p.path)
                return true;
        return false;
    };

    if (platform == Platform::Windows) {
        QList<PortDescription> rest;
        for (int n = 0; n < EntryCount; ++n)
            if (!taken[n]) {
                entries[n] = PortDescription::find(listed, QStringLiteral("COM%1").arg(n + 1));
                taken[n] = true;
            }
        for (const PortDescription &p : listed)
            if (!overridden(p))
                rest.append(p);
        std::stable_sort(rest.begin(), rest.end(),
                         [](const PortDescription &a, const PortDescription &b) { return naturalCompare(a.path, b.path) < 0; });
        for (int n = 0; n < EntryCount; ++n) {
            map.m_devices[n] = entries[n].path;
            // COMN exists as a name; the listing only shows the ports that are there.
            if ((isListed(entries[n].path) || overrides.contains(n + 1)) && map.comNumberOf(entries[n].path) == n + 1)
                map.m_ports.append(entries[n]);
        }
        map.m_ports.append(rest);
        return map;
    }

    QList<PortDescription> adapters, builtIns, others;
    for (const PortDescription &p : listed) {
        if (overridden(p))
            continue;
        // macOS lists each device twice; the call-out device is the one to use.
        if (platform == Platform::MacOS && !p.path.startsWith(QLatin1String("/dev/cu.")))
            continue;
        const int number = platform == Platform::Linux ? builtInNumber(p) : -1;
        if (p.usb) {
            adapters.append(p);
        } else if (number >= 0) {
            // A ttyS without a UART is no port at all.
            if (!p.builtIn)
                continue;
            if (number < EntryCount && !taken[number]) {
                entries[number] = p;
                taken[number] = true;
            } else {
                builtIns.append(p);
            }
        } else {
            others.append(p);
        }
    }
    std::stable_sort(adapters.begin(), adapters.end(), adapterBefore);
    std::stable_sort(builtIns.begin(), builtIns.end(), [](const PortDescription &a, const PortDescription &b) {
        return builtInNumber(a) < builtInNumber(b);
    });

    const QList<PortDescription> pool = adapters + builtIns + others;
    qsizetype next = 0;
    for (int n = 0; n < EntryCount && next < pool.size(); ++n)
        if (!taken[n]) {
            entries[n] = pool.at(next++);
            taken[n] = true;
        }
    for (int n = 0; n < EntryCount; ++n) {
        if (!taken[n])
            continue;
        map.m_devices[n] = entries[n].path;
        // Two entries set to one device: a search tries it once.
        if (map.comNumberOf(entries[n].path) == n + 1)
            map.m_ports.append(entries[n]);
    }
    map.m_ports.append(pool.mid(next));
    return map;
}

QString ComPortMap::device(int comNumber) const
{
    if (comNumber < 1 || comNumber > EntryCount)
        return {};
    return m_devices[comNumber - 1];
}

int ComPortMap::comNumberOf(const QString &path) const
{
    if (path.isEmpty())
        return 0;
    for (int n = 0; n < EntryCount; ++n)
        if (m_devices[n] == path)
            return n + 1;
    return 0;
}
