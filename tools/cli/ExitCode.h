#pragma once

// The exit codes of tarvo-cli, as documented in --help and the README.
namespace ExitCode {
constexpr int Passed = 0;
// A command failed on the device or the programmer.
constexpr int CommandFailed = 1;
// Bad usage, a bad file, or a device the programmer refuses.
constexpr int UsageOrFile = 2;
// No programmer answered, or the port could not be opened or went away.
constexpr int NoProgrammer = 3;
// Ctrl+C (or SIGTERM) stopped the run.
constexpr int Stopped = 4;
// The process of one port (several ports) died by a signal: the tool
// failed, not the device.
constexpr int ProcessDied = 5;
} // namespace ExitCode
