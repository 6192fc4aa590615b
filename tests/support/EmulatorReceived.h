#pragma once

#include "ProgrammerEmulator.h"

#include <QTest>
#include <functional>

// Checks of what the emulator received from a program that has finished:
// the process may have ended, or the command returned, before the
// emulator's thread took the last bytes off the line. Every such check
// waits for its condition, with a bound made for a busy machine; the event
// loop runs meanwhile, so a byte still queued in a port of this process
// goes out as well. (Header only: tests that use it link the emulator.)
namespace EmulatorReceived {

constexpr int WaitMs = 10000;

inline bool arrived(const std::function<bool()> &check, int timeoutMs = WaitMs)
{
    return QTest::qWaitFor(check, timeoutMs);
}

inline bool endsWith(const ProgrammerEmulator &emu, char byte, int timeoutMs = WaitMs)
{
    return arrived([&emu, byte] { return emu.received().endsWith(byte); }, timeoutMs);
}

} // namespace EmulatorReceived
