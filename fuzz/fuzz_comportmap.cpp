// libFuzzer target for the Com entries (ComPortMap::build). The first byte
// picks the platform; every further line is a listed port or an override:
// a flags byte (bit 0 USB, bit 1 built in, bits 2-4 an override's entry
// number, 0 for a listed port) then path;name;serial number;USB socket.
// Besides surviving any listing it checks the map's promises: an override
// is its entry, each device is offered once, the entries come first in
// their order, no usable listed port is lost, and the order of names is one.
#include "ComPortMap.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

int sign(int v)
{
    return (v > 0) - (v < 0);
}

bool usable(const PortDescription &p, ComPortMap::Platform platform)
{
    switch (platform) {
    case ComPortMap::Platform::Windows:
        return true;
    case ComPortMap::Platform::MacOS:
        return p.path.startsWith(QLatin1String("/dev/cu."));
    case ComPortMap::Platform::Linux:
        break;
    }
    // A ttyS without a UART is no port.
    static const QRegularExpression ttyS(QStringLiteral("^ttyS\\d+$"));
    return p.usb || p.builtIn || !ttyS.match(p.name).hasMatch();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static constexpr ComPortMap::Platform Platforms[] = {ComPortMap::Platform::Linux, ComPortMap::Platform::MacOS,
                                                         ComPortMap::Platform::Windows};
    const ComPortMap::Platform platform = Platforms[data[0] % 3];
    QList<PortDescription> listed;
    QMap<int, QString> overrides;
    const QList<QByteArray> lines = QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1)).split('\n');
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        const uint8_t flags = uint8_t(line.at(0));
        const QList<QByteArray> fields = line.mid(1).split(';');
        const QString path = QString::fromUtf8(fields.value(0));
        if (const int entry = (flags >> 2) & 7) {
            overrides.insert(entry, path);
            continue;
        }
        PortDescription p;
        p.path = path;
        p.name = QString::fromUtf8(fields.value(1));
        p.serialNumber = QString::fromUtf8(fields.value(2));
        p.usbLocation = QString::fromUtf8(fields.value(3));
        p.usb = flags & 1;
        p.builtIn = flags & 2;
        listed.append(p);
    }

    const ComPortMap map = ComPortMap::build(listed, overrides, platform);
    check(map.device(0).isEmpty() && map.device(ComPortMap::EntryCount + 1).isEmpty());

    QSet<QString> offered;
    for (const PortDescription &p : map.ports()) {
        // The same device twice would be opened and searched twice.
        check(!p.path.isEmpty() && !offered.contains(p.path));
        offered.insert(p.path);
    }
    qsizetype position = 0;
    for (int n = 1; n <= ComPortMap::EntryCount; ++n) {
        const QString device = map.device(n);
        if (overrides.value(n).size() > 0)
            check(device == overrides.value(n));
        if (device.isEmpty() || map.comNumberOf(device) != n)
            continue;
        // Entries lead the search, in their order (Windows offers only ports that exist).
        const auto found = std::find_if(map.ports().cbegin(), map.ports().cend(),
                                        [&device](const PortDescription &p) { return p.path == device; });
        const qsizetype at = found == map.ports().cend() ? -1 : found - map.ports().cbegin();
        if (at < 0) {
            check(platform == ComPortMap::Platform::Windows);
            continue;
        }
        check(at == position++);
    }
    // A device listed twice counts as its first listing says.
    QSet<QString> seen;
    for (const PortDescription &p : listed) {
        if (!p.path.isEmpty() && !seen.contains(p.path) && usable(p, platform))
            check(offered.contains(p.path));
        seen.insert(p.path);
    }

    if (listed.size() >= 2) {
        const QString &a = listed.at(0).path;
        const QString &b = listed.at(1).path;
        check(sign(ComPortMap::naturalCompare(a, b)) == -sign(ComPortMap::naturalCompare(b, a)));
        check(ComPortMap::naturalCompare(a, a) == 0);
        check((ComPortMap::naturalCompare(a, b) == 0) == (a == b));
    }
    return 0;
}
