#include "ComPort.h"

#include "PortAvailability.h"
#include "SystemPorts.h"

#include <QSerialPort>
#include <QtGlobal>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace {

const char BadIdText[] = "ie_BadId - Specified comport doesn't exist";
const char BusyText[] = "ie_Open - device already open";

// The operator's text for a port found unusable.
QString stateText(PortAvailability::State state, int error)
{
    switch (state) {
    case PortAvailability::State::Busy:
        return QString::fromLatin1(BusyText);
    case PortAvailability::State::Missing:
        return QString::fromLatin1(BadIdText);
    case PortAvailability::State::NoRights:
    case PortAvailability::State::Free:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(error));
}

#ifdef Q_OS_UNIX
// Qt reports a busy port (its lock file, or an exclusive open) and missing
// rights alike as PermissionError; the errno of an open of our own tells
// them apart. Reached only when the port looked free without an open, so
// this open is refused by the kernel (EBUSY, EACCES) rather than made.
QString describePermissionError(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return QString::fromLatin1(BusyText);
    }
    const int err = errno;
    const PortAvailability::State state = PortAvailability::stateOfOpenError(err);
    return stateText(state == PortAvailability::State::Free ? PortAvailability::State::NoRights : state, err);
}
#endif

} // namespace

ComPort::ComPort(QObject *parent)
    : QObject(parent)
    , m_port(new QSerialPort(this))
{
    m_port->setBaudRate(QSerialPort::Baud19200);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    // XON/XOFF must stay data: the block transfers are paced by DC1/DC3.
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) { onError(e); });
    // The port's own buffer stays small too: it takes at most this much off
    // the line before the bytes are moved on (or dropped) here.
    m_port->setReadBufferSize(BufferSize);
    connect(m_port, &QSerialPort::readyRead, this, [this] { takeReceived(); });
}

ComPort::~ComPort()
{
    close();
}

QString ComPort::deviceName(int comNumber)
{
    // Taken afresh each time: an adapter plugged in meanwhile is found.
    return SystemPorts::comPortMap().device(comNumber);
}

void ComPort::setDevicePath(const QString &path)
{
    if (path == m_devicePath)
        return;
    const bool wasOpen = isOpen();
    close();
    m_devicePath = path;
    if (wasOpen)
        open();
}

bool ComPort::setComNumber(uint16_t number)
{
    if (number == m_comNumber)
        return true;
    if (!isOpen()) {
        m_comNumber = number;
        return true;
    }
    close();
    m_comNumber = number;
    return open();
}

bool ComPort::isOpen() const
{
    return m_port->isOpen();
}

bool ComPort::open()
{
    if (isOpen())
        return true;
    const QString given = m_devicePath.isEmpty() ? deviceName(m_comNumber) : m_devicePath;
    if (given.isEmpty()) {
        m_errorString = QString::fromLatin1(BadIdText);
        return false;
    }
    // One name per port, so the lock file and the holders are found however
    // the port was written; a port another process holds is never opened
    // (as root an open would succeed, and the close would clear the
    // holder's exclusive use).
    const QString path = SystemPorts::canonical(given);
    if (const PortAvailability::Result found = PortAvailability::check(path);
        found.state != PortAvailability::State::Free) {
        m_errorString = stateText(found.state, EACCES);
        return false;
    }
    m_lostFlag = false;
    m_closeScheduled = false;
    clearReceived();
    m_dropped = 0;
    m_lastWritten = 0;
    m_openedPath = path;
    m_port->setPortName(path);
    if (!m_port->open(QIODevice::ReadWrite)) {
        switch (m_port->error()) {
        case QSerialPort::DeviceNotFoundError:
            m_errorString = QString::fromLatin1(BadIdText);
            break;
        case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
            m_errorString = describePermissionError(path);
#else
            m_errorString = QString::fromLatin1(BusyText);
#endif
            break;
        default:
            m_errorString = m_port->errorString();
            break;
        }
        m_port->clearError();
        return false;
    }
    // A pseudo-terminal refuses the modem lines; that is no reason to fail.
    m_port->setDataTerminalReady(true);
    m_port->setRequestToSend(true);
    m_port->clearError();
    m_errorString.clear();
    return true;
}

void ComPort::close()
{
    if (!m_port->isOpen())
        return;
    if (!m_lostFlag)
        flush();
    m_port->close();
    m_port->clearError();
    clearReceived();
}

void ComPort::takeReceived(bool restartReading)
{
    // The port stops reading only once its buffer is full, and then has
    // bytes to give: an empty buffer needs no restart, short of a discard.
    if (!m_port->isOpen() || (!restartReading && m_port->bytesAvailable() == 0))
        return;
    // The unread bytes move to the front; the room behind them is what may
    // still be kept. The port reads straight into it.
    if (m_readAt > 0) {
        std::memmove(m_received.data(), m_received.data() + m_readAt, size_t(m_receivedEnd - m_readAt));
        m_receivedEnd -= m_readAt;
        m_readAt = 0;
    }
    char dropped[BufferSize];
    for (;;) {
        // A read that finds the port's buffer empty also lets the port take
        // from the line again: it stops once its bounded buffer is full, and
        // would otherwise leave bytes unnoticed on the line.
        const int room = BufferSize - m_receivedEnd;
        const qint64 n = room > 0 ? m_port->read(m_received.data() + m_receivedEnd, room)
                                  : m_port->read(dropped, sizeof dropped);
        if (n <= 0)
            break;
        if (room > 0)
            m_receivedEnd += int(n);
        else
            m_dropped += n;
    }
}

void ComPort::clearReceived()
{
    m_readAt = 0;
    m_receivedEnd = 0;
}

bool ComPort::ByteWaiting()
{
    if (m_readAt == m_receivedEnd)
        takeReceived();
    return m_port->isOpen() && m_readAt < m_receivedEnd;
}

uint8_t ComPort::ReadOneByte()
{
    if (m_readAt == m_receivedEnd)
        takeReceived();
    if (m_readAt == m_receivedEnd)
        return 0;
    const uint8_t byte = uint8_t(m_received[size_t(m_readAt++)]);
    // Read to the end: start over at the front, so nothing needs moving.
    if (m_readAt == m_receivedEnd)
        clearReceived();
    return byte;
}

void ComPort::WriteText(const QByteArray &text)
{
    if (!m_port->isOpen() || text.isEmpty())
        return;
    m_port->write(text);
    m_lastWritten = text.back();
}

int ComPort::OutputRoom() const
{
    if (!m_port->isOpen())
        return 0;
    return int(qMax<qint64>(0, BufferSize - m_port->bytesToWrite()));
}

void ComPort::DiscardInput()
{
    clearReceived();
    if (!m_port->isOpen())
        return;
    m_port->clear(QSerialPort::Input);
    // Lets the port take from the line again, should its buffer have been full.
    takeReceived(true);
    clearReceived();
}

void ComPort::DiscardOutput()
{
    if (!m_port->isOpen())
        return;
    m_port->clear(QSerialPort::Output);
    // What was handed over last may never have reached the line.
    m_lastWritten = 0;
}

void ComPort::flush(int timeoutMs)
{
    if (!m_port->isOpen() || m_port->bytesToWrite() == 0)
        return;
    m_port->flush();
    if (m_port->bytesToWrite() > 0)
        m_port->waitForBytesWritten(timeoutMs);
}

bool ComPort::checkLost()
{
    if (!m_port->isOpen())
        return m_lostFlag;
    bool gone = m_lostFlag;
#ifdef Q_OS_UNIX
    if (!gone) {
        pollfd p{int(m_port->handle()), 0, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            gone = true;
    }
#endif
    if (gone)
        closeLost();
    return gone;
}

void ComPort::onError(int error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        break;
    default:
        return;
    }
    m_lostFlag = true;
    // A hung-up port keeps raising errors; close it once, outside the signal.
    if (!m_closeScheduled) {
        m_closeScheduled = true;
        QMetaObject::invokeMethod(this, [this] { if (m_lostFlag) closeLost(); }, Qt::QueuedConnection);
    }
}

void ComPort::closeLost()
{
    m_lostFlag = true;
    if (!m_port->isOpen())
        return;
    m_port->close();
    m_port->clearError();
    emit lost();
}
