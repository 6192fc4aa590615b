#include "SystemPorts.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

namespace {

constexpr char PortsVariable[] = "TARVO_PORTS";

QString resolved(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
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
    for (const QString &given : paths)
        named.append(PortDescription::find(system, resolved(given)));
    return named;
}

QMap<int, QString> SystemPorts::overrides()
{
    QMap<int, QString> out;
    for (int n = 1; n <= ComPortMap::EntryCount; ++n) {
        const QByteArray value = qgetenv(QByteArray("TARVO_COM") + QByteArray::number(n));
        if (!value.isEmpty())
            out.insert(n, resolved(QString::fromLocal8Bit(value)));
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
    if (p.usb)
        p.usbLocation = usbLocation(p.name);
    // On Linux the listing holds a ttyS port only when the kernel reports a
    // UART behind it (its type is not "unknown").
    p.builtIn = !p.usb && p.name.startsWith(QLatin1String("ttyS"));
    return p;
}

QString SystemPorts::usbLocation(const QString &name)
{
#ifdef Q_OS_LINUX
    // /sys/class/tty/ttyUSB0/device leads to .../usb1/1-1/1-1.2/1-1.2:1.0[/ttyUSB0]:
    // the interface's name is the socket chain and the interface number.
    static const QRegularExpression interfaceName(QStringLiteral("^\\d+-[\\d.]+:\\d+\\.\\d+$"));
    const QString device = QFileInfo(QStringLiteral("/sys/class/tty/%1/device").arg(name)).canonicalFilePath();
    const QStringList parts = device.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = parts.size() - 1; i >= 0; --i)
        if (interfaceName.match(parts.at(i)).hasMatch())
            return parts.at(i);
#else
    Q_UNUSED(name);
#endif
    return {};
}
