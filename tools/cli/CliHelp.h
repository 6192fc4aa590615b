#pragma once

#include <QString>

// What tarvo-cli --help and --version print.
class CliHelp
{
public:
    // The usage, the options, the commands, the exit codes and the devices.
    static QString text();
    static QString versionText();
};
