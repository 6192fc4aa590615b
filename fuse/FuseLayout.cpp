#include "FuseLayout.h"

#include "HexText.h"

#include <array>

namespace FuseLayout {

namespace {

struct GroupRow
{
    const char *deviceName;
    const char *fuse1Name;
    bool fuse1Enabled;
    bool fuse1Present;
    bool lock3Present;
};

constexpr std::array<GroupRow, 7> Groups{{
    {"AT89S8252", "FSTRT", false, false, true},
    {"AT89S53", "FSTRT", false, false, true},
    {"AT90S1200", "RCEN", true, true, false},
    {"AT90S2343", "RCEN", true, true, false},
    {"AT90S8535", "FSTRT", true, true, false},
    {"AT90S2313", "FSTRT", true, true, false},
    {"AT90S2323", "FSTRT", true, true, false},
}};

constexpr std::array<BitField, 4> LockByteFields{{
    {ByteKind::Fuse, 0, Target::Fuse2},
    {ByteKind::Lock, 2, Target::Lock1},
    {ByteKind::Lock, 1, Target::Lock2},
    {ByteKind::Lock, 0, Target::Lock3},
}};

// The AVR parts keep their lock bits in the top of the fuse byte.
constexpr std::array<BitField, 4> FuseByteFields{{
    {ByteKind::Fuse, 0, Target::Fuse1},
    {ByteKind::Fuse, 5, Target::Fuse2},
    {ByteKind::Fuse, 7, Target::Lock1},
    {ByteKind::Fuse, 6, Target::Lock2},
}};

bool isChoice(Target t)
{
    return t == Target::Fuse1 || t == Target::Fuse2;
}

} // namespace

QString bitText(int bit)
{
    return QString::fromLatin1(bit == 0 ? EnableText : DisableText);
}

std::optional<DeviceGroup> deviceGroup(const QString &deviceName)
{
    for (const GroupRow &g : Groups)
        if (deviceName == QLatin1String(g.deviceName))
            return DeviceGroup{QString::fromLatin1(g.fuse1Name), g.fuse1Enabled, g.fuse1Present, g.lock3Present};
    return std::nullopt;
}

std::span<const BitField> bitFields(const QString &typeCode)
{
    if (typeCode == QLatin1String("04"))
        return LockByteFields;
    if (typeCode == QLatin1String("06") || typeCode == QLatin1String("07"))
        return FuseByteFields;
    return {};
}

bool hasLockByte(const QString &typeCode)
{
    for (const BitField &f : bitFields(typeCode))
        if (f.byte == ByteKind::Lock)
            return true;
    return false;
}

QList<Reading> decode(const QString &typeCode, ByteKind byte, uint8_t value)
{
    QList<Reading> out;
    for (const BitField &f : bitFields(typeCode))
        if (f.byte == byte)
            out.append({f.target, (value >> f.bit) & 1});
    return out;
}

std::optional<uint8_t> writeValue(const QString &typeCode, int fuse1Item, int fuse2Item)
{
    const auto fields = bitFields(typeCode);
    if (fields.empty())
        return std::nullopt;
    uint8_t value = 0;
    for (const BitField &f : fields) {
        if (f.byte != ByteKind::Fuse || !isChoice(f.target))
            continue;
        const int item = f.target == Target::Fuse1 ? fuse1Item : fuse2Item;
        if (item != 0 && item != 1)
            return std::nullopt;
        value = uint8_t(value | (item << f.bit));
    }
    return value;
}

uint8_t readBackValue(const QString &typeCode, uint8_t fuseByte)
{
    uint8_t mask = 0;
    for (const BitField &f : bitFields(typeCode))
        if (f.byte == ByteKind::Fuse && isChoice(f.target))
            mask = uint8_t(mask | (1 << f.bit));
    return uint8_t(fuseByte & mask);
}

QString readFuseCommand(const QString &typeCode)
{
    return QStringLiteral("090000") + typeCode;
}

QString readLockCommand(const QString &typeCode)
{
    return QStringLiteral("080000") + typeCode;
}

QString writeFuseCommand(uint8_t value, const QString &typeCode)
{
    return QStringLiteral("0400") + HexText::HexByteToStr2(value) + typeCode;
}

} // namespace FuseLayout
