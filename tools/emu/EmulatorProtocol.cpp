#include "EmulatorProtocol.h"

#include "HexText.h"

#include <algorithm>

namespace {

constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;
constexpr uint8_t ACK = 0x06;
constexpr uint8_t DC1 = 0x11;
constexpr uint8_t DC3 = 0x13;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t CAN = 0x18;

namespace Code {
constexpr int Program = 0x01;
constexpr int Lock = 0x03;
constexpr int WriteFuse = 0x04;
constexpr int Erase = 0x05;
constexpr int Read = 0x06;
constexpr int ReadLock = 0x08;
constexpr int ReadFuse = 0x09;
constexpr int Blank = 0x0A;
constexpr int Verify = 0x0C;
constexpr int Detect = 0x0D;
} // namespace Code

constexpr int BlockChars = 2 * EmulatorProtocol::BlockSize + 2;

bool hasFuse(int type)
{
    return type == 0x04 || type == 0x06 || type == 0x07;
}

bool allHex(const QByteArray &text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return HexText::HEX(c); });
}

uint8_t byteAt(const QByteArray &text, int pos)
{
    return HexText::HexStr2ToByte(text.constData() + pos, 2);
}

} // namespace

EmulatorProtocol::EmulatorProtocol()
    : m_date("15082003")
{
    // Unprogrammed fuse cells read 1; SPIEN ships programmed (0) so that the
    // part can be programmed serially.
    m_devices[0x04].fuse = 0xFE;
    m_devices[0x06].fuse = 0xDF;
    m_devices[0x07].fuse = 0xDF;
}

SimulatedDevice &EmulatorProtocol::device(int typeCode)
{
    return m_devices[validType(typeCode) ? typeCode : 0];
}

const SimulatedDevice &EmulatorProtocol::device(int typeCode) const
{
    return m_devices[validType(typeCode) ? typeCode : 0];
}

uint8_t EmulatorProtocol::reportedFuse(int typeCode) const
{
    const SimulatedDevice &d = device(typeCode);
    if (typeCode != 0x06 && typeCode != 0x07)
        return d.fuse;
    uint8_t value = d.fuse & 0x3F;
    if (!(d.lockBits & 0x01))
        value |= 0x80;
    if (!(d.lockBits & 0x02))
        value |= 0x40;
    return value;
}

uint8_t EmulatorProtocol::reportedLock(int typeCode) const
{
    const uint8_t bits = device(typeCode).lockBits;
    uint8_t value = 0x07;
    if (bits & 0x01)
        value &= ~0x04;
    if (bits & 0x02)
        value &= ~0x02;
    if (bits & 0x04)
        value &= ~0x01;
    return value;
}

bool EmulatorProtocol::setFirmwareDate(const QByteArray &date)
{
    if (date.size() != 8)
        return false;
    m_date = date;
    return true;
}

void EmulatorProtocol::addFault(const EmulatorFault &fault)
{
    if (fault.event == EmulatorFault::Event::BytesSent)
        m_sentFaults.push_back({fault, m_sentTotal});
    else
        m_faults.push_back(fault);
}

void EmulatorProtocol::clearFaults()
{
    m_faults.clear();
    m_sentFaults.clear();
    m_muted = false;
}

void EmulatorProtocol::clearLog()
{
    m_received.clear();
    m_sent.clear();
    m_frames.clear();
    m_blocksReceived = 0;
    m_blocksSent = 0;
}

qint64 EmulatorProtocol::sendableBeforeFault() const
{
    qint64 least = -1;
    for (const SentFault &f : m_sentFaults) {
        const qint64 left = std::max<qint64>(0, f.fault.index - (m_sentTotal - f.base));
        if (least < 0 || left < least)
            least = left;
    }
    return least;
}

EmulatorProtocol::SentEffect EmulatorProtocol::noteSent(uint8_t byte)
{
    m_sent.append(char(byte));
    ++m_sentTotal;
    SentEffect effect;
    for (auto it = m_sentFaults.begin(); it != m_sentFaults.end(); ++it) {
        if (m_sentTotal - it->base < it->fault.index)
            continue;
        switch (it->fault.action) {
        case EmulatorFault::Action::HangUp:
            effect.kind = SentEffect::Kind::HangUp;
            break;
        case EmulatorFault::Action::Delay:
            effect.kind = SentEffect::Kind::Stall;
            effect.delayMs = it->fault.delayMs;
            break;
        default:
            m_muted = true;
            effect.kind = SentEffect::Kind::Mute;
            break;
        }
        m_sentFaults.erase(it);
        break;
    }
    return effect;
}

std::optional<EmulatorFault> EmulatorProtocol::takeFault(EmulatorFault::Event event, int index)
{
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (it->event != event)
            continue;
        if (it->command >= 0 && it->command != m_command)
            continue;
        if (it->index >= 0 && index >= 0 && it->index != index)
            continue;
        EmulatorFault f = *it;
        m_faults.erase(it);
        return f;
    }
    return std::nullopt;
}

QByteArray EmulatorProtocol::hex2(uint8_t value) const
{
    QByteArray text = HexText::HexByteToStr2(value).toLatin1();
    return m_lowerCase ? text.toLower() : text;
}

QByteArray EmulatorProtocol::hex4(uint16_t value) const
{
    QByteArray text = HexText::HexWordToStr4(value).toLatin1();
    return m_lowerCase ? text.toLower() : text;
}

bool EmulatorProtocol::send(const std::optional<EmulatorFault> &fault, const QByteArray &reply,
                            std::vector<Output> &out)
{
    using A = EmulatorFault::Action;
    QByteArray bytes = reply;
    int delay = 0;
    bool carryOn = true;
    if (fault) {
        switch (fault->action) {
        case A::Silence:
            bytes.clear();
            carryOn = false;
            break;
        case A::HangUp:
            out.push_back({Output::Kind::HangUp, 0, 0});
            bytes.clear();
            carryOn = false;
            break;
        case A::Delay:
            delay = fault->delayMs;
            break;
        case A::Garbage:
            bytes = QByteArray(1, char(fault->byte));
            carryOn = false;
            break;
        case A::Nak:
            bytes = char(NAK) + fault->report;
            carryOn = false;
            break;
        default:
            break;
        }
    }
    for (char c : bytes) {
        out.push_back({Output::Kind::Byte, uint8_t(c), delay});
        delay = 0;
    }
    if (!carryOn)
        m_state = State::Idle;
    return carryOn;
}

void EmulatorProtocol::reply(uint8_t byte, std::vector<Output> &out)
{
    m_state = State::Idle;
    send(takeFault(EmulatorFault::Event::CommandReply), QByteArray(1, char(byte)), out);
    m_state = State::Idle;
}

void EmulatorProtocol::nakWithAddress(uint16_t address, std::vector<Output> &out)
{
    m_state = State::Idle;
    for (char c : char(NAK) + hex4(address))
        out.push_back({Output::Kind::Byte, uint8_t(c), 0});
}

void EmulatorProtocol::feed(uint8_t byte, qint64 timeNs, std::vector<Output> &out)
{
    m_received.append(char(byte));
    // CAN ends whatever exchange is under way; STX always opens a new frame.
    if (byte == CAN) {
        m_state = State::Idle;
        return;
    }
    if (byte == STX) {
        m_state = State::FrameWord;
        m_word.clear();
        m_sum.clear();
        m_frameStart = m_received.size() - 1;
        return;
    }
    switch (m_state) {
    case State::Idle:
        // ENQ after a pass, stray DC1/DC3 and line noise: nothing to answer.
        break;
    case State::FrameWord:
        if (byte == ETX) {
            m_state = State::Idle; // short frame: ignored like any corrupt frame
            break;
        }
        m_word.append(char(byte));
        if (m_word.size() == 8)
            m_state = State::FrameEtx;
        break;
    case State::FrameEtx:
        m_state = byte == ETX ? State::FrameSum : State::Idle;
        break;
    case State::FrameSum:
        m_sum.append(char(byte));
        if (m_sum.size() == 2)
            endFrame(timeNs, out);
        break;
    case State::DetectionDc3:
        if (byte == DC3) {
            m_state = State::Idle;
            send(takeFault(EmulatorFault::Event::DetectionAck), QByteArray(1, char(ACK)), out);
        }
        break;
    case State::BlockIn:
        takeBlockChar(byte, out);
        break;
    case State::ReadNext:
        if (byte == DC1) {
            ++m_block;
            m_blockStart = uint16_t(m_blockStart + BlockSize);
            sendReadBlock(out);
        } else if (byte == DC3) {
            m_state = State::Idle;
            send(takeFault(EmulatorFault::Event::FinalReply), QByteArray(1, char(ACK)), out);
        }
        break;
    }
}

void EmulatorProtocol::endFrame(qint64 timeNs, std::vector<Output> &out)
{
    m_state = State::Idle;
    ReceivedFrame frame;
    frame.word = m_word;
    frame.streamOffset = m_frameStart;
    frame.timeNs = timeNs;
    if (allHex(m_word) && allHex(m_sum)) {
        int sum = 3;
        for (int i = 0; i < 8; i += 2)
            sum += byteAt(m_word, i);
        frame.checksumOk = uint8_t(sum) == byteAt(m_sum, 0);
    }
    m_frames.append(frame);
    // A corrupt frame is dropped unanswered, as the unit cannot tell what
    // was meant; the program then runs into its reply time-out.
    if (!frame.checksumOk)
        return;
    m_command = byteAt(m_word, 0);
    m_param = uint16_t(byteAt(m_word, 2) << 8 | byteAt(m_word, 4));
    m_type = byteAt(m_word, 6);
    dispatch(out);
}

void EmulatorProtocol::dispatch(std::vector<Output> &out)
{
    if (m_command == Code::Detect) {
        using A = EmulatorFault::Action;
        const auto fault = takeFault(EmulatorFault::Event::DetectionReply);
        uint8_t sum = 0;
        for (char c : m_date)
            sum = uint8_t(sum + uint8_t(c));
        if (fault && fault->action == A::WrongChecksum)
            ++sum;
        QByteArray text = m_date + hex2(sum);
        if (fault && fault->action == A::NonHex && fault->offset >= 0 && fault->offset < text.size())
            text[fault->offset] = 'G';
        if (send(fault, text, out))
            m_state = State::DetectionDc3;
        return;
    }
    if (!validType(m_type)) {
        reply(NAK, out);
        return;
    }
    SimulatedDevice &dev = device(m_type);
    switch (m_command) {
    case Code::Erase:
        dev.flash.fill(char(0xFF));
        dev.lockBits = 0;
        reply(ACK, out);
        break;
    case Code::Blank: {
        const int last = std::min<int>(m_param, dev.flash.size() - 1);
        const bool blank = std::all_of(dev.flash.cbegin(), dev.flash.cbegin() + last + 1,
                                       [](char c) { return uint8_t(c) == 0xFF; });
        reply(blank ? ACK : NAK, out);
        break;
    }
    case Code::Lock:
        if (m_param >= 1 && m_param <= 3) {
            dev.lockBits |= uint8_t((1 << m_param) - 1);
            reply(ACK, out);
        } else {
            reply(NAK, out);
        }
        break;
    case Code::Program:
    case Code::Verify:
        m_block = 0;
        m_blockStart = 0;
        m_blockChars.clear();
        if (send(takeFault(EmulatorFault::Event::BlockRequest, 0), QByteArray(1, char(DC1)), out))
            m_state = State::BlockIn;
        break;
    case Code::Read:
        m_block = 0;
        m_blockStart = 0;
        sendReadBlock(out);
        break;
    case Code::ReadFuse:
    case Code::ReadLock: {
        const bool fuse = m_command == Code::ReadFuse;
        if (fuse ? !hasFuse(m_type) : m_type != 0x04) {
            reply(NAK, out);
            break;
        }
        using A = EmulatorFault::Action;
        const auto fault = takeFault(fuse ? EmulatorFault::Event::FuseReply : EmulatorFault::Event::LockReply);
        uint8_t value = fuse ? reportedFuse(m_type) : reportedLock(m_type);
        if (fault && fault->action == A::Value)
            value = fault->byte;
        QByteArray text = hex2(value);
        if (fault && fault->action == A::NonHex && fault->offset >= 0 && fault->offset < 2)
            text[fault->offset] = 'G';
        send(fault, text, out);
        break;
    }
    case Code::WriteFuse:
        if (!hasFuse(m_type) || (m_param >> 8) != 0) {
            reply(NAK, out);
            break;
        }
        dev.fuse = uint8_t(m_param);
        reply(ACK, out);
        break;
    default:
        reply(NAK, out);
        break;
    }
}

void EmulatorProtocol::takeBlockChar(uint8_t byte, std::vector<Output> &out)
{
    if (m_blockChars.isEmpty() && byte == DC3) {
        m_state = State::Idle;
        send(takeFault(EmulatorFault::Event::FinalReply), QByteArray(1, char(ACK)), out);
        return;
    }
    if (!HexText::HEX(char(byte))) {
        // Anything but a hex digit inside a block spoils it.
        nakWithAddress(m_blockStart, out);
        return;
    }
    m_blockChars.append(char(byte));
    if (m_blockChars.size() == BlockChars)
        finishBlock(out);
}

void EmulatorProtocol::finishBlock(std::vector<Output> &out)
{
    QByteArray data(BlockSize, 0);
    uint8_t sum = 0;
    for (int i = 0; i < BlockSize; ++i) {
        data[i] = char(byteAt(m_blockChars, 2 * i));
        sum = uint8_t(sum + uint8_t(data[i]));
    }
    const uint8_t sent = byteAt(m_blockChars, 2 * BlockSize);
    m_blockChars.clear();
    ++m_blocksReceived;
    if (sum != sent) {
        nakWithAddress(m_blockStart, out);
        return;
    }
    SimulatedDevice &dev = device(m_type);
    const auto fault = takeFault(EmulatorFault::Event::BlockReceived, m_block);
    const int weak = fault && fault->action == EmulatorFault::Action::WrongData ? fault->offset : -1;
    const int size = dev.flash.size();
    if (m_command == Code::Program) {
        if (dev.lockBits) {
            nakWithAddress(m_blockStart, out);
            return;
        }
        for (int i = 0; i < BlockSize; ++i) {
            const int addr = m_blockStart + i;
            if (addr >= size) {
                // No cell there: only the erased value "fits".
                if (uint8_t(data[i]) != 0xFF) {
                    nakWithAddress(uint16_t(addr), out);
                    return;
                }
                continue;
            }
            dev.flash[addr] = i == weak ? char(~data[i]) : data[i];
        }
    } else {
        for (int i = 0; i < BlockSize; ++i) {
            const int addr = m_blockStart + i;
            const uint8_t held = addr < size ? uint8_t(dev.flash[addr]) : 0xFF;
            if (held != uint8_t(data[i]) || i == weak) {
                nakWithAddress(uint16_t(addr), out);
                return;
            }
        }
    }
    ++m_block;
    m_blockStart = uint16_t(m_blockStart + BlockSize);
    if (!send(takeFault(EmulatorFault::Event::BlockRequest, m_block), QByteArray(1, char(DC1)), out))
        return;
    m_state = State::BlockIn;
}

void EmulatorProtocol::sendReadBlock(std::vector<Output> &out)
{
    using A = EmulatorFault::Action;
    const auto fault = takeFault(EmulatorFault::Event::ReadBlock, m_block);
    const SimulatedDevice &dev = device(m_type);
    QByteArray text;
    uint8_t sum = 0;
    for (int i = 0; i < BlockSize; ++i) {
        const int addr = m_blockStart + i;
        uint8_t value = addr < dev.flash.size() ? uint8_t(dev.flash[addr]) : 0xFF;
        if (fault && fault->action == A::WrongData && fault->offset == i)
            value = uint8_t(~value);
        sum = uint8_t(sum + value);
        text += hex2(value);
    }
    if (fault && fault->action == A::WrongChecksum)
        ++sum;
    text += hex2(sum);
    if (fault && fault->action == A::NonHex && fault->offset >= 0 && fault->offset < text.size())
        text[fault->offset] = 'G';
    m_state = State::Idle;
    if (send(fault, text, out)) {
        ++m_blocksSent;
        m_state = State::ReadNext;
    }
}
