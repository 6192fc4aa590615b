#pragma once

#include <QByteArray>
#include <cstdint>

// The device in the socket for one type code: its flash, lock bits and fuse
// byte, as the commands of the programmer leave them.
struct SimulatedDevice
{
    static constexpr int MaxFlash = 0x10000;

    // Erased (FFh) flash; its size is the device end + 1.
    QByteArray flash = QByteArray(MaxFlash, char(0xFF));
    // Bit 0 is lock bit 1, bit 1 lock bit 2, bit 2 lock bit 3; 1 = programmed.
    uint8_t lockBits = 0;
    uint8_t fuse = 0xFF;
};
