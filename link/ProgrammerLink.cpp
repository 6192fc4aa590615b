#include "ProgrammerLink.h"

#include "HexText.h"
#include "ProgrammerReply.h"
#include "Prompter.h"

#include <QCoreApplication>
#include <QThread>

namespace {

const char PortNotFound[] = "Comport Not Found";

// Runs whatever is pending without waiting.
void processPending()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Sleeps in the event loop until something arrives: a window event, a
// notifier of the port, or a timer.
void blockForEvent()
{
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

class Flag
{
public:
    explicit Flag(bool &flag) : m_flag(flag) { m_flag = true; }
    ~Flag() { m_flag = false; }

private:
    bool &m_flag;
};

} // namespace

const QString ProgrammerLink::StopQuestion = QStringLiteral("Do you want to Stop Command..?");

ProgrammerLink::ProgrammerLink(Prompter &prompter, QObject *parent)
    : QObject(parent)
    , m_prompter(prompter)
{
    m_timer1.setSingleShot(true);
    // A coarse timer may fire early and leave the wait blocked with nothing armed.
    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer1.setInterval(10000);
    connect(&m_timer1, &QTimer::timeout, this, &ProgrammerLink::Timer1Timer);
}

void ProgrammerLink::Timer1Timer()
{
    m_timer1.stop();
    m_timeoutElapsed = true;
}

bool ProgrammerLink::stopConfirmed()
{
    if (m_shutdown || m_cancelWait) {
        m_cancelWait = false;
        m_abortRequested = true;
        return true;
    }
    if (!m_stopRequested)
        return false;
    m_stopRequested = false;
    if (m_prompter.confirm(StopQuestion)) {
        m_abortRequested = true;
        return true;
    }
    m_abortRequested = false;
    return false;
}

bool ProgrammerLink::SendByte(char c)
{
    if (!m_port.isOpen()) {
        if (!m_shutdown)
            m_prompter.error(QString::fromLatin1(PortNotFound));
        return false;
    }
    for (;;) {
        processPending();
        // While closing, the last bytes (CAN) must still leave.
        if (!m_shutdown && stopConfirmed())
            return false;
        if (m_port.checkLost() || !m_port.isOpen())
            return false;
        if (m_port.OutputRoom() >= 1) {
            m_port.WriteText(QByteArray(1, c));
            return true;
        }
        if (m_shutdown) {
            m_port.flush();
            if (m_port.OutputRoom() < 1)
                return false;
            continue;
        }
        blockForEvent();
    }
}

bool ProgrammerLink::SendWord(uint8_t value)
{
    const QString text = HexText::HexByteToStr2(value);
    return SendByte(char(text.at(0).unicode())) && SendByte(char(text.at(1).unicode()));
}

bool ProgrammerLink::ReadByte(uint8_t &byte, int timeoutMs)
{
    byte = 0;
    m_timeoutElapsed = false;
    m_timer1.start(timeoutMs);
    for (;;) {
        processPending();
        if (stopConfirmed()) {
            m_timer1.stop();
            return false;
        }
        if (m_port.checkLost()) {
            // Gone for good: fail now, as a time-out would, instead of
            // waiting out the limit.
            m_timer1.stop();
            m_timeoutElapsed = true;
            return false;
        }
        if (m_port.ByteWaiting() || m_timeoutElapsed)
            break;
        blockForEvent();
    }
    if (m_port.ByteWaiting()) {
        byte = m_port.ReadOneByte();
        m_timeoutElapsed = false;
        m_timer1.stop();
        return true;
    }
    return false;
}

uint8_t ProgrammerLink::frameChecksum(const QString &word)
{
    unsigned sum = 3;
    for (int i = 0; i + 1 < word.size() && i < 8; i += 2)
        sum += HexText::HexStr2ToByte(word.mid(i, 2));
    return uint8_t(sum);
}

bool ProgrammerLink::SendCommand(const QString &word)
{
    if (!m_port.isOpen())
        return false;
    bool sent = SendByte(Ctl::CAN);
    // The CAN must be on the line before the discards: they also drop the
    // port's own unsent bytes.
    m_port.flush();
    QThread::msleep(100);
    m_port.DiscardInput();
    m_port.DiscardOutput();
    sent = sent && SendByte(Ctl::STX);
    for (int i = 0; sent && i < word.size(); ++i)
        sent = SendByte(char(word.at(i).unicode()));
    sent = sent && SendByte(Ctl::ETX);
    m_commandChecksum = frameChecksum(word);
    return sent && SendWord(m_commandChecksum);
}

std::optional<QString> ProgrammerLink::ReadVersion()
{
    if (m_detecting)
        return std::nullopt;
    const Flag detecting(m_detecting);

    m_hardwareFound = false;
    emit statusText(QStringLiteral("Waiting to Initial Hardware"));
    SendCommand(QStringLiteral("0D000000"));

    ProgrammerReply reply(m_strictDetection ? ProgrammerReply::Kind::StrictDetection
                                            : ProgrammerReply::Kind::Detection);
    bool ok = true;
    uint8_t b = 0;
    while (ok && !reply.ended()) {
        ok = ReadByte(b, ReplyTimeoutMs);
        if (ok)
            reply.feed(b);
    }
    ok = ok && reply.last() == ProgrammerReply::Step::Complete;
    if (ok) {
        SendByte(Ctl::DC3);
        ok = ReadByte(b, ReplyTimeoutMs)
             && ProgrammerReply::answer(b, Ctl::ACK) == ProgrammerReply::Answer::Expected;
    }
    if (!ok) {
        if (!m_shutdown && !m_strictDetection)
            m_prompter.error(QStringLiteral("Hardware Not Found"));
        SendByte(Ctl::CAN);
        return std::nullopt;
    }
    emit statusText(QStringLiteral("Search Hardware On Com") + QString::number(m_port.comNumber()) + QStringLiteral(" OK"));
    m_hardwareFound = true;
    SendByte(Ctl::CAN);
    return reply.firmwareDate();
}

void ProgrammerLink::waitForEvents()
{
    if (!m_shutdown)
        blockForEvent();
    if (m_shutdown)
        m_abortRequested = true;
}

void ProgrammerLink::requestShutdown()
{
    m_shutdown = true;
}
