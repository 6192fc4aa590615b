#include "PortChoice.h"

#include "SystemPorts.h"

#include <QRegularExpression>

QString PortChoice::Candidate::shownName() const
{
    return comNumber > 0 ? QStringLiteral("Com%1").arg(comNumber) : path;
}

PortChoice PortChoice::resolve(const QString &value, const ComPortMap &map)
{
    PortChoice choice;
    static const QRegularExpression comName(QStringLiteral("^com([1-4])$"), QRegularExpression::CaseInsensitiveOption);
    static const QLatin1String usbPrefix("usb:");

    if (const QRegularExpressionMatch com = comName.match(value); com.hasMatch()) {
        const int n = com.captured(1).toInt();
        choice.candidates.append({map.device(n), n});
    } else if (value.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
        choice.search = true;
        choice.indirect = true;
        for (const PortDescription &p : map.ports())
            choice.candidates.append({p.path, map.comNumberOf(p.path)});
        if (choice.candidates.isEmpty())
            choice.notFound = QStringLiteral("No serial port found to search for the programmer");
    } else if (value.startsWith(usbPrefix, Qt::CaseInsensitive) && value.size() > usbPrefix.size()) {
        const QString serial = value.mid(usbPrefix.size());
        for (const PortDescription &p : map.ports())
            if (p.usb && p.serialNumber.compare(serial, Qt::CaseInsensitive) == 0)
                choice.candidates.append({p.path, map.comNumberOf(p.path)});
        choice.search = choice.candidates.size() > 1;
        choice.indirect = true;
        if (choice.candidates.isEmpty())
            choice.notFound = QStringLiteral("No USB serial adapter with the serial number \"%1\"").arg(serial);
    } else if (value.contains(QLatin1Char('/')) || value.contains(QLatin1Char('\\'))) {
        // Every spelling of a device (a link, "//", "/./", a linked folder)
        // is the one device, with one lock file and one set of holders.
        const QString device = SystemPorts::canonical(value);
        choice.indirect = device != value;
        // As given, the detection's text names it as the user wrote it.
        choice.candidates.append({device, choice.indirect ? map.comNumberOf(device) : 0});
    } else {
        choice.usageError =
            QStringLiteral("unknown port \"%1\": use Com1 to Com4, auto, usb:SERIAL or a device path").arg(value);
    }
    return choice;
}
