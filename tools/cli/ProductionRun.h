#pragma once

#include "OperatorInput.h"
#include "ProductionCycle.h"

#include <QString>
#include <functional>
#include <memory>

class CliOptions;
class CliOutput;
class CommandRunner;
class MemoryBuffer;
struct SelectionState;

// A production run around the commands of tarvo-cli: for each device the
// operator's go (--repeat), then the device's cycle (ProductionCycle: the
// image checked, the serial number, the record, the counters); a summary at
// the end. Stops before the next device when the log or the serial state
// cannot be written.
class ProductionRun
{
public:
    struct Parts
    {
        MemoryBuffer &buffer;
        const SelectionState &selection;
        CommandRunner &runner;
        // The commands once on the device in the socket; the exit code.
        std::function<int()> runCommands;
    };
    // What the record says of the line, known once the programmer answered.
    struct Line
    {
        QString portEntry;
        QString portPath;
        QString biosCode;
    };

    ProductionRun(const CliOptions &options, CliOutput &output, const Parts &parts);
    ~ProductionRun();

    // Before the port opens: the stores can be written, the serial number
    // fits the device and its bytes. The exit code.
    int prepare();
    // The devices, until the end. The exit code.
    int run(const Line &line);
    // Ctrl+C: a wait for the operator ends; the device under way is stopped
    // by the session.
    void stop();
    // A fuse write of the device under way ended: its value and outcome go
    // into the device's record.
    void fuseWritten(uint8_t value, bool passed);

private:
    // Asks for the operator's go (typed-ahead keys dropped first): true for
    // an empty line; a line that is neither empty nor a quit is refused and
    // asked again.
    bool awaitGo();
    // The exit code.
    int runDevice();
    void describe(DeviceRecord &record) const;
    int refuse(const QString &text);

    const CliOptions &m_options;
    // The fuse value written to the device under way, as the record has it.
    QString m_fuseValue;
    CliOutput &m_output;
    Parts m_parts;
    Line m_line;
    ProductionCycle m_cycle;
    OperatorInput *m_input = nullptr;
    bool m_stopped = false;
};
