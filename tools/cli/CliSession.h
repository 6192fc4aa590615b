#pragma once

#include "CliOptions.h"
#include "CliPrompter.h"
#include "CliRunView.h"
#include "CommandRunner.h"
#include "DeviceCommand.h"
#include "DeviceMenuState.h"
#include "FuseCommands.h"
#include "MemoryBuffer.h"
#include "ProductionRun.h"
#include "ProgrammerLink.h"
#include "SelectionState.h"
#include "StopSignal.h"

#include <QObject>
#include <QString>
#include <memory>

class CliOutput;

// The whole run of tarvo-cli: check the device, the commands and the file;
// open the port and detect the programmer; apply the firmware rule; run
// the commands in order up to the first failure; end the line cleanly.
// Returns the exit code.
class CliSession
{
public:
    CliSession(const CliOptions &options, CliOutput &output);
    ~CliSession();

    int run();

private:
    int prepare();
    int checkCommands(const DeviceMenuState &menu);
    int loadFile();
    // Any other kind of image (S-record, ELF, raw binary).
    int loadImage();
    // An image that ends beyond the device is refused unless --allow-oversize.
    int checkSize();
    int connect();
    int applyFirmwareRule();
    // The commands in order, up to the first that fails.
    int runCommands();
    int runCommand(const CliCommand &command);
    // Runs one command of the command line; true when it passed.
    bool runOne(const CliCommand &command);
    int saveRead();
    // The code for a command that did not pass.
    int failureCode();
    int finish(int code);
    void onStop(int count);

    const CliOptions &m_options;
    CliOutput &m_output;
    CliPrompter m_prompter;
    ProgrammerLink m_link;
    MemoryBuffer m_buffer;
    SelectionState m_selection;
    int m_deviceIndex = -1;
    CliRunView m_view;
    CommandRunner m_runner;
    FuseCommands m_fuse;
    StopSignal m_stopSignal;
    // Present for a production run (a log, serial numbers, --repeat).
    std::unique_ptr<ProductionRun> m_production;
    QObject m_context;
    QString m_hardwareText;
    QString m_biosCode;
    // The device the port value led to.
    QString m_portPath;
    bool m_stopped = false;
};
