#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>

// What the fuse and lock bytes of each device mean: the captions of the
// editor by device name, the bit of each byte that feeds each choice and
// display by type code, the value written from the two choices and the
// value compared after the read-back. Tables and plain functions, no state.
namespace FuseLayout {

// The two choices and the five state displays of the editor.
enum class Target { Fuse1, Fuse2, Lock1, Lock2, Lock3 };
enum class ByteKind { Fuse, Lock };

// Radio group item 0 stands for bit value 0, item 1 for bit value 1.
inline constexpr char EnableText[] = "Enable(Program)";
inline constexpr char DisableText[] = "Disable(Erase)";
inline constexpr char NotPresentText[] = "Not Present";
inline constexpr char Fuse2Name[] = "SPIEN";

// "Enable(Program)" for 0, "Disable(Erase)" for anything else.
QString bitText(int bit);

// Captions chosen by device name (exact match).
struct DeviceGroup
{
    QString fuse1Name; // caption of Fuse1; its label is "Fuse " + name
    bool fuse1Enabled;
    bool fuse1Present; // false: DisplayFuse1 shows "Not Present"
    bool lock3Present; // false: DisplayLock3 shows "Not Present"
};
std::optional<DeviceGroup> deviceGroup(const QString &deviceName);

// One bit of a byte read from the device and what it feeds.
struct BitField
{
    ByteKind byte;
    int bit;
    Target target;
};
// Every bit that a type code uses; empty for a type without fuse bits.
std::span<const BitField> bitFields(const QString &typeCode);
// Type "04" keeps its lock bits in a byte of their own.
bool hasLockByte(const QString &typeCode);

struct Reading
{
    Target target;
    int bit; // 0 or 1
};
// The bits of a byte read from the device, in the order of the bit table;
// bits not listed there are ignored.
QList<Reading> decode(const QString &typeCode, ByteKind byte, uint8_t value);

// The fuse byte to write from the two choices (item indexes, -1 for none).
// Only the choices that the type writes count; nothing when one of them has
// no item chosen or the type has no fuse bits.
std::optional<uint8_t> writeValue(const QString &typeCode, int fuse1Item, int fuse2Item);
// A fuse byte read back, cut to the bits that writeValue() forms.
uint8_t readBackValue(const QString &typeCode, uint8_t fuseByte);

QString readFuseCommand(const QString &typeCode);
QString readLockCommand(const QString &typeCode);
QString writeFuseCommand(uint8_t value, const QString &typeCode);

} // namespace FuseLayout
