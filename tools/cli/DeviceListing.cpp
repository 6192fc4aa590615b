#include "DeviceListing.h"

#include "DeviceCatalogue.h"
#include "FuseLayout.h"

#include <QStringList>

namespace {

// The fuses the editor shows for the device; "-" for none.
QString fuses(const StructureDevice &device)
{
    if (!device.HasFuse)
        return QStringLiteral("-");
    QStringList names;
    if (const auto group = FuseLayout::deviceGroup(device.DeviceName); group && group->fuse1Present)
        names << group->fuse1Name;
    names << QString::fromLatin1(FuseLayout::Fuse2Name);
    return names.join(QLatin1Char(' '));
}

QString row(const QString &name, const QString &flash, const QString &locks, const QString &fuses,
            const QString &type)
{
    return name.leftJustified(13) + flash.rightJustified(6) + QLatin1String("  ") + locks.rightJustified(9)
           + QLatin1String("  ") + fuses.leftJustified(12) + type + QLatin1Char('\n');
}

} // namespace

QString DeviceListing::text()
{
    QString out = row(QStringLiteral("DEVICE"), QStringLiteral("FLASH"), QStringLiteral("LOCK BITS"),
                      QStringLiteral("FUSES"), QStringLiteral("TYPE"));
    for (int i = 0; i < DeviceCatalogue::Count; ++i) {
        const StructureDevice &d = DeviceCatalogue::row(i);
        out += row(d.DeviceName, QString::number(int(d.deviceEnd()) + 1), QString::number(d.LockLevel.toInt(nullptr, 16)),
                   fuses(d), d.TypeCode);
    }
    return out;
}
