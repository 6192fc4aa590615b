#pragma once

#include <QByteArray>
#include <cstdint>

// One command frame as the emulator received it.
struct ReceivedFrame
{
    // The eight characters between STX and ETX.
    QByteArray word;
    // The two checksum characters matched the word.
    bool checksumOk = false;
    // Position of the STX in the raw received stream.
    qint64 streamOffset = 0;
    // Nanoseconds since the emulator started, when the last checksum
    // character was taken.
    qint64 timeNs = 0;
};
