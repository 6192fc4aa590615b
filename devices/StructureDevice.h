#pragma once

#include <QString>
#include <cstdint>

// One row of the device catalogue. Numeric fields are upper-case hex text,
// converted where a number is needed.
struct StructureDevice
{
    QString DeviceName;
    QString Algorithm;
    QString Vpp;
    QString Signature;
    QString LockLevel;
    QString DeviceEnd;
    uint8_t HasFuse = 0;
    QString TypeCode;

    // DeviceEnd as a number; an empty field gives 0.
    uint16_t deviceEnd() const;

    bool operator==(const StructureDevice &) const = default;
};
