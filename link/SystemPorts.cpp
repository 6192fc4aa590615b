#include "SystemPorts.h"

#include "SysfsTty.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

constexpr char PortsVariable[] = "TARVO_PORTS";

// Qt's ids come from udev, which containers and small systems lack, and
// its own sysfs fallback gives a PCI UART a vendor id: sysfs decides.
void addSysfs(PortDescription &p)
{
#ifdef Q_OS_LINUX
    if (!SysfsTty::hasDevice(p.name))
        return;
    const std::optional<SysfsTty::Usb> usb = SysfsTty::usb(p.name);
    p.usb = usb.has_value();
    if (!usb) {
        p.vendorId.reset();
        p.productId.reset();
        return;
    }
    p.vendorId = usb->vendorId;
    p.productId = usb->productId;
    if (!usb->serialNumber.isEmpty())
        p.serialNumber = usb->serialNumber;
    if (p.manufacturer.isEmpty())
        p.manufacturer = usb->manufacturer;
    if (p.description.isEmpty())
        p.description = usb->product;
    p.usbLocation = usb->location;
#else
    Q_UNUSED(p);
#endif
}

} // namespace

QList<PortDescription> SystemPorts::list()
{
    QList<PortDescription> system;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        system.append(describe(info));
    if (!qEnvironmentVariableIsSet(PortsVariable))
        return system;

    QList<PortDescription> named;
    const QStringList paths = qEnvironmentVariable(PortsVariable).split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString &given : paths) {
        PortDescription p = PortDescription::find(system, canonical(given));
        if (!p.usb)
            addSysfs(p);
        named.append(p);
    }
    return named;
}

QMap<int, QString> SystemPorts::overrides()
{
    QMap<int, QString> out;
    for (int n = 1; n <= ComPortMap::EntryCount; ++n) {
        const QByteArray value = qgetenv(QByteArray("TARVO_COM") + QByteArray::number(n));
        if (!value.isEmpty())
            out.insert(n, canonical(QString::fromLocal8Bit(value)));
    }
    return out;
}

ComPortMap SystemPorts::comPortMap()
{
    return ComPortMap::build(list(), overrides(), ComPortMap::hostPlatform());
}

PortDescription SystemPorts::describe(const QSerialPortInfo &info)
{
    PortDescription p;
#ifdef Q_OS_WIN
    // "COM3", as the Com entries name it (the system location is \\.\COM3).
    p.path = info.portName();
#else
    p.path = info.systemLocation();
#endif
    p.name = info.portName();
    p.description = info.description();
    p.manufacturer = info.manufacturer();
    if (info.hasVendorIdentifier())
        p.vendorId = info.vendorIdentifier();
    if (info.hasProductIdentifier())
        p.productId = info.productIdentifier();
    p.serialNumber = info.serialNumber();
    p.usb = info.hasVendorIdentifier();
    addSysfs(p);
    // On Linux the listing holds a ttyS port only when the kernel reports a
    // UART behind it (its type is not "unknown").
    p.builtIn = !p.usb && p.name.startsWith(QLatin1String("ttyS"));
    return p;
}

QString SystemPorts::canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

bool SystemPorts::isConsole(const QString &path)
{
#ifdef Q_OS_LINUX
    const QString device = canonical(path);
    if (!device.startsWith(QLatin1String("/dev/")))
        return false;
    return SysfsTty::consoleNames().contains(device.mid(5));
#else
    Q_UNUSED(path);
    return false;
#endif
}
