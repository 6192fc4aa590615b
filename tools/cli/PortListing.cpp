#include "PortListing.h"

#include <QtGlobal>

namespace {

QString usbId(const PortDescription &p)
{
    if (!p.vendorId || !p.productId)
        return {};
    return QStringLiteral("%1:%2").arg(*p.vendorId, 4, 16, QLatin1Char('0')).arg(*p.productId, 4, 16, QLatin1Char('0'));
}

QStringList fields(const PortListing::Row &row)
{
    const PortDescription &p = row.port;
    return {row.comNumber > 0 ? QStringLiteral("Com%1").arg(row.comNumber) : QString(),
            p.path,
            p.description,
            p.manufacturer,
            usbId(p),
            p.serialNumber,
            PortAvailability::describe(row.availability),
            row.note};
}

} // namespace

QList<PortListing::Row> PortListing::rows(const ComPortMap &map)
{
    QList<Row> out;
    for (const PortDescription &p : map.ports()) {
        const PortAvailability::Result availability = PortAvailability::check(p.path);
        const int first = map.comNumberOf(p.path);
        out.append({first, p, availability, {}});
        // Each entry once: a later entry set to the same device says so.
        for (int n = first + 1; first > 0 && n <= ComPortMap::EntryCount; ++n)
            if (map.device(n) == p.path)
                out.append({n, p, availability, QStringLiteral("same device as Com%1").arg(first)});
    }
    return out;
}

QStringList PortListing::textLines(const QList<Row> &rows)
{
    QList<QStringList> table;
    QList<qsizetype> widths;
    for (const Row &row : rows) {
        QStringList cells = fields(row);
        if (cells.constLast().isEmpty())
            cells.removeLast();
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (cells[i].isEmpty())
                cells[i] = QStringLiteral("-");
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = qMax(widths[i], cells[i].size());
        }
        table.append(cells);
    }
    QStringList lines;
    for (const QStringList &cells : table) {
        QString line;
        for (qsizetype i = 0; i < cells.size(); ++i)
            line += i + 1 < cells.size() ? cells[i].leftJustified(widths[i] + 2) : cells[i];
        lines.append(line);
    }
    return lines;
}

QJsonObject PortListing::json(const Row &row)
{
    const PortDescription &p = row.port;
    QJsonObject o{{QStringLiteral("path"), p.path},
                  {QStringLiteral("description"), p.description},
                  {QStringLiteral("manufacturer"), p.manufacturer},
                  {QStringLiteral("serialNumber"), p.serialNumber},
                  {QStringLiteral("usb"), p.usb},
                  {QStringLiteral("state"), PortAvailability::stateName(row.availability)},
                  {QStringLiteral("busy"), row.availability.state == PortAvailability::State::Busy}};
    o.insert(QStringLiteral("com"), row.comNumber > 0 ? QJsonValue(QStringLiteral("Com%1").arg(row.comNumber)) : QJsonValue());
    o.insert(QStringLiteral("usbId"), usbId(p).isEmpty() ? QJsonValue() : QJsonValue(usbId(p)));
    if (!p.usbLocation.isEmpty())
        o.insert(QStringLiteral("usbLocation"), p.usbLocation);
    if (!row.note.isEmpty())
        o.insert(QStringLiteral("note"), row.note);
    if (row.availability.ownerPid)
        o.insert(QStringLiteral("ownerPid"), row.availability.ownerPid);
    return o;
}
