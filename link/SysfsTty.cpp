#include "SysfsTty.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QByteArray readSmall(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(4096) : QByteArray();
}

QString attribute(const QString &folder, const char *name)
{
    return QString::fromUtf8(readSmall(folder + QLatin1Char('/') + QLatin1String(name))).trimmed();
}

} // namespace

QString SysfsTty::root()
{
    const QString fake = qEnvironmentVariable("TARVO_SYSFS_ROOT");
    return fake.isEmpty() ? QStringLiteral("/sys") : fake;
}

bool SysfsTty::hasDevice(const QString &name)
{
    return QFileInfo::exists(QStringLiteral("%1/class/tty/%2/device").arg(root(), name));
}

std::optional<SysfsTty::Usb> SysfsTty::usb(const QString &name)
{
    // class/tty/ttyUSB0/device leads to .../usb1/1-1/1-1.2/1-1.2:1.0[/ttyUSB0]:
    // the interface folder's name is the socket chain and the interface
    // number; the USB device (idVendor, idProduct, serial) is its parent.
    static const QRegularExpression interfaceName(QStringLiteral("^\\d+-[\\d.]+:\\d+\\.\\d+$"));
    QString folder = QFileInfo(QStringLiteral("%1/class/tty/%2/device").arg(root(), name)).canonicalFilePath();
    const QString top = QFileInfo(root()).canonicalFilePath();
    Usb found;
    for (int depth = 0; depth < 4 && !folder.isEmpty() && folder != top; ++depth) {
        const QString base = QFileInfo(folder).fileName();
        if (interfaceName.match(base).hasMatch()) {
            const QString device = QFileInfo(folder).path();
            bool vendorOk = false, productOk = false;
            found.vendorId = quint16(attribute(device, "idVendor").toUInt(&vendorOk, 16));
            found.productId = quint16(attribute(device, "idProduct").toUInt(&productOk, 16));
            if (!vendorOk || !productOk)
                return std::nullopt;
            found.location = base;
            found.serialNumber = attribute(device, "serial");
            found.manufacturer = attribute(device, "manufacturer");
            found.product = attribute(device, "product");
            return found;
        }
        folder = QFileInfo(folder).path();
    }
    return std::nullopt;
}

QStringList SysfsTty::consoleNames()
{
    const QByteArray active = readSmall(root() + QLatin1String("/class/tty/console/active"));
    if (root() != QLatin1String("/sys"))
        return consoleNames(active, {}, {});
    return consoleNames(active, readSmall(QStringLiteral("/proc/consoles")), readSmall(QStringLiteral("/proc/cmdline")));
}

QStringList SysfsTty::consoleNames(const QByteArray &active, const QByteArray &consoles, const QByteArray &commandLine)
{
    QStringList names;
    auto add = [&names](const QByteArray &name) {
        const QString text = QString::fromUtf8(name.trimmed());
        if (!text.isEmpty() && !names.contains(text))
            names.append(text);
    };
    for (const QByteArray &name : active.simplified().split(' '))
        add(name);
    // "ttyS0                -W- (EC  p a)    4:64": the name first.
    for (const QByteArray &line : consoles.split('\n'))
        add(line.simplified().split(' ').constFirst());
    // console=ttyS0,115200n8; the arguments after "--" are for init.
    for (const QByteArray &word : commandLine.simplified().split(' ')) {
        if (word == "--")
            break;
        if (word.startsWith("console="))
            add(word.mid(8).split(',').constFirst());
    }
    return names;
}
