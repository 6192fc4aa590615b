#pragma once

#include "RunListener.h"
#include "SerialSource.h"

#include <QString>
#include <optional>

// Marks a device's serial number written in its source just before the
// first block of Program that carries any of its bytes goes out, so that
// a bench that dies from then on leaves a number that may be in a device
// (retired), never one handed to the next device. When the mark cannot be
// kept the block does not go out.
class SerialWriteMark : public RunListener
{
public:
    // Follows number, whose bytes lie at first..last, until the next arm.
    void arm(SerialSource *source, quint64 number, uint16_t first, uint16_t last);
    void disarm() { m_source = nullptr; }
    // Whether the number may have reached the device.
    bool written() const { return m_written; }
    // Why the block was held back; empty when it was not.
    const QString &error() const { return m_error; }

    bool blockMayGo(uint16_t first, uint16_t last) override;

private:
    SerialSource *m_source = nullptr;
    quint64 m_number = 0;
    uint16_t m_first = 0;
    uint16_t m_last = 0;
    bool m_written = false;
    QString m_error;
};
