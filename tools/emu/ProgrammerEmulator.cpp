#include "ProgrammerEmulator.h"

#include "DeviceCatalogue.h"
#include "EmulatorLoop.h"
#include "HexText.h"

#include <algorithm>
#include <chrono>

ProgrammerEmulator::ProgrammerEmulator()
    : m_loop(std::make_unique<EmulatorLoop>())
{
}

ProgrammerEmulator::~ProgrammerEmulator() = default;

void ProgrammerEmulator::setDevicePath(const QString &path)
{
    std::lock_guard lock(m_loop->mutex);
    m_loop->devicePath = path;
}

bool ProgrammerEmulator::start(QString *error)
{
    return m_loop->start(error);
}

void ProgrammerEmulator::stop()
{
    m_loop->stop();
}

bool ProgrammerEmulator::isRunning() const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->running;
}

QString ProgrammerEmulator::slavePath() const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->slavePath;
}

void ProgrammerEmulator::hangUp()
{
    m_loop->hangUp();
}

void ProgrammerEmulator::flood(qint64 bytes)
{
    m_loop->flood(bytes);
}

qint64 ProgrammerEmulator::floodLeft() const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->floodLeft;
}

bool ProgrammerEmulator::hungUp() const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->hungUp;
}

bool ProgrammerEmulator::setFirmwareDate(const QByteArray &date)
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->protocol.setFirmwareDate(date);
}

QByteArray ProgrammerEmulator::firmwareDate() const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->protocol.firmwareDate();
}

void ProgrammerEmulator::setPaced(bool paced)
{
    m_loop->paced = paced;
}

bool ProgrammerEmulator::paced() const
{
    return m_loop->paced;
}

void ProgrammerEmulator::setLowerCaseHex(bool lower)
{
    std::lock_guard lock(m_loop->mutex);
    m_loop->protocol.setLowerCaseHex(lower);
}

bool ProgrammerEmulator::setSocketDevice(const QString &deviceName)
{
    const int row = DeviceCatalogue::indexOf(deviceName);
    if (row < 0)
        return false;
    const StructureDevice &d = DeviceCatalogue::row(row);
    setFlashSize(HexText::HexStr2ToByte(d.TypeCode), d.deviceEnd() + 1);
    return true;
}

void ProgrammerEmulator::addFault(const EmulatorFault &fault)
{
    std::lock_guard lock(m_loop->mutex);
    m_loop->protocol.addFault(fault);
}

void ProgrammerEmulator::clearFaults()
{
    std::lock_guard lock(m_loop->mutex);
    m_loop->protocol.clearFaults();
}

int ProgrammerEmulator::pendingFaults() const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->protocol.pendingFaults();
}

QByteArray ProgrammerEmulator::flash(uint8_t typeCode) const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->protocol.device(typeCode).flash;
}

int ProgrammerEmulator::flashSize(uint8_t typeCode) const
{
    std::lock_guard lock(m_loop->mutex);
    return int(m_loop->protocol.device(typeCode).flash.size());
}

void ProgrammerEmulator::setFlashSize(uint8_t typeCode, int size)
{
    size = std::clamp(size, 1, SimulatedDevice::MaxFlash);
    std::lock_guard lock(m_loop->mutex);
    m_loop->protocol.device(typeCode).flash = QByteArray(size, char(0xFF));
}

void ProgrammerEmulator::setFlash(uint8_t typeCode, const QByteArray &data, int offset)
{
    std::lock_guard lock(m_loop->mutex);
    QByteArray &flash = m_loop->protocol.device(typeCode).flash;
    for (int i = 0; i < data.size(); ++i) {
        const qint64 addr = qint64(offset) + i;
        if (addr >= 0 && addr < flash.size())
            flash[addr] = data[i];
    }
}

uint8_t ProgrammerEmulator::lockBits(uint8_t typeCode) const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->protocol.device(typeCode).lockBits;
}

void ProgrammerEmulator::setLockBits(uint8_t typeCode, uint8_t bits)
{
    std::lock_guard lock(m_loop->mutex);
    m_loop->protocol.device(typeCode).lockBits = bits & 0x07;
}

uint8_t ProgrammerEmulator::fuseByte(uint8_t typeCode) const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->protocol.device(typeCode).fuse;
}

void ProgrammerEmulator::setFuseByte(uint8_t typeCode, uint8_t value)
{
    std::lock_guard lock(m_loop->mutex);
    m_loop->protocol.device(typeCode).fuse = value;
}

QByteArray ProgrammerEmulator::received() const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->protocol.received();
}

QByteArray ProgrammerEmulator::sent() const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->protocol.sent();
}

QList<ReceivedFrame> ProgrammerEmulator::frames() const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->protocol.frames();
}

QStringList ProgrammerEmulator::commandWords() const
{
    QStringList words;
    for (const ReceivedFrame &f : frames()) {
        if (f.checksumOk)
            words << QString::fromLatin1(f.word);
    }
    return words;
}

int ProgrammerEmulator::frameCount() const
{
    std::lock_guard lock(m_loop->mutex);
    return int(m_loop->protocol.frames().size());
}

int ProgrammerEmulator::blocksReceived() const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->protocol.blocksReceived();
}

int ProgrammerEmulator::blocksSent() const
{
    std::lock_guard lock(m_loop->mutex);
    return m_loop->protocol.blocksSent();
}

void ProgrammerEmulator::clearLog()
{
    std::lock_guard lock(m_loop->mutex);
    m_loop->protocol.clearLog();
}

bool ProgrammerEmulator::waitFor(const std::function<bool()> &condition, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(m_loop->mutex);
    for (;;) {
        // The condition uses the locking accessors: test it unlocked.
        lock.unlock();
        if (condition())
            return true;
        lock.lock();
        if (m_loop->changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            lock.unlock();
            return condition();
        }
    }
}
