#pragma once

#include "OperatorInput.h"
#include "RecordStore.h"
#include "RunRecorder.h"
#include "SerialSource.h"
#include "SerialWriteMark.h"

#include <QString>
#include <functional>
#include <memory>

class CliOptions;
class CliOutput;
class CommandRunner;
class MemoryBuffer;
struct SelectionState;

// A production run around the commands of tarvo-cli: for each device the
// operator's go (--repeat), the serial number written into the image, the
// commands, the record in the log, the counters; a summary at the end.
// Stops before the next device when the log or the serial state cannot be
// written.
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
    // The exit code; passed tells whether the device itself passed.
    // The next device's number, written into the image; nothing when the
    // numbers are used up or the store failed, with the code that ends the
    // run (the device is then not counted).
    std::optional<quint64> takeSerial(int *code);
    // Asks for the operator's go (typed-ahead keys dropped first): true for
    // an empty line; a line that is neither empty nor a quit is refused and
    // asked again.
    bool awaitGo();
    int runDevice(int number, std::optional<quint64> serial, bool &passed);
    // After the device: its number used, released or retired. False with
    // error when the source could not keep that.
    bool settleSerial(quint64 serial, bool passed, QString *error);
    void describe(DeviceRecord &record) const;
    int refuse(const QString &text);
    // Why the serial number may not go where the image holds data; empty when it may.
    QString overwriteText(const SerialFormat &format) const;

    const CliOptions &m_options;
    // Devices passed and failed in this run.
    int m_success = 0;
    // The fuse value written to the device under way, as the record has it.
    QString m_fuseValue;
    int m_failure = 0;
    CliOutput &m_output;
    Parts m_parts;
    Line m_line;
    std::unique_ptr<RecordStore> m_log;
    std::unique_ptr<SerialSource> m_serials;
    // The form the numbers are written in: the options', or the sequence's.
    std::optional<SerialFormat> m_format;
    RunRecorder m_recorder;
    SerialWriteMark m_mark;
    OperatorInput *m_input = nullptr;
    bool m_stopped = false;
};
