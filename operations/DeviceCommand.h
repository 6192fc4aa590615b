#pragma once

#include "CommandTexts.h"
#include "DeviceMenuState.h"

#include <QLatin1String>
#include <QString>
#include <array>

struct StructureDevice;

// One row per device command of the Device menu: its command code and
// parameter, its texts, its menu item, whether it sends the buffer, and the
// exchange it runs. The window's handlers, tarvo-cli and the runner all
// work from these rows.
struct DeviceCommand
{
    enum class Id { Erase, Blank, Program, Verify, Lock1, Lock2, Lock3, Read, Auto };
    enum class Kind {
        SingleReply, // one word, one reply: erase, blank check, lock
        BlockTransfer, // the buffer goes out in blocks: program, verify
        Read, // the device comes into the buffer
        Auto, // erase, blank check, program, verify and lock in one run
    };
    // What follows the code in the command word (before the type code).
    enum class Parameter { Zero, Lock1, Lock2, Lock3, DeviceEnd, LockLevel };

    Id id;
    // tarvo-cli's name of the command.
    QLatin1String name;
    // Two hex digits; none for Auto, which runs the others' codes.
    QLatin1String code;
    Parameter parameter;
    const CommandTexts &(*texts)();
    DeviceMenuItem menuItem;
    // Program, Verify and Auto send the buffer.
    bool needsFile;
    Kind kind;

    // The eight-character command word for the device: code, parameter
    // (this row's unless another is given), type code.
    QString word(const StructureDevice &device) const { return word(device, parameter); }
    QString word(const StructureDevice &device, Parameter parameter) const;
    // Only Program writes the device's flash block by block.
    bool writesBlocks() const { return id == Id::Program; }

    static const std::array<DeviceCommand, 9> &all();
    static const DeviceCommand &get(Id id);
    // nullptr for a name that is no device command.
    static const DeviceCommand *byName(const QString &name);
};
