#pragma once

#include "HexFileWriter.h"
#include "MemoryBuffer.h"
#include "ProgrammerEmulator.h"
#include "TestFiles.h"

#include <QString>
#include <memory>

// The emulator's type byte of the AT89C2051, whose flash the tests read.
constexpr uint8_t Type2051 = 0x01;

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

// The images the production runs program: the whole device filled with
// 5A, or filled up to 7BF, which leaves the serial number's bytes (7F0-7F3)
// free. False when the file cannot be written.
inline bool writeFullImage(const QString &path)
{
    MemoryBuffer buffer;
    buffer.fill(0x5A);
    return writeFile(path, HexFileWriter::image(buffer, 0x7FF));
}
inline bool writeImageBelowSerial(const QString &path)
{
    MemoryBuffer low;
    for (int a = 0; a < 0x7C0; ++a)
        low.set(uint16_t(a), 0x5A);
    return writeFile(path, HexFileWriter::image(low, 0x7BF));
}

// The four bytes of the serial number (7F0) in the emulator's flash.
inline QByteArray serialInFlash(const ProgrammerEmulator &e)
{
    return e.flash(Type2051).mid(0x7F0, 4);
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
