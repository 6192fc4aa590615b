#pragma once

#include "ProgrammerEmulator.h"

#include <QString>
#include <memory>

// An emulated programmer with an AT89C2051 in the socket, as the
// production-run tests use it; the test ends at once if it cannot start.
inline std::unique_ptr<ProgrammerEmulator> startEmulator()
{
    auto emu = std::make_unique<ProgrammerEmulator>();
    emu->setSocketDevice(QStringLiteral("AT89C2051"));
    QString error;
    if (!emu->start(&error))
        qFatal("emulator: %s", qPrintable(error));
    return emu;
}

// How many program frames (command 01) the emulator received: one per
// device that reached its program step.
inline int programFrames(const ProgrammerEmulator &e)
{
    int n = 0;
    for (const QString &w : e.commandWords())
        n += w.startsWith(QLatin1String("01")) ? 1 : 0;
    return n;
}
