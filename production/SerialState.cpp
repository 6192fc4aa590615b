#include "SerialState.h"

#include "ProcessLiveness.h"

#include <QStringList>
#include <QUrl>
#include <algorithm>

SerialState::SerialState(quint64 first, quint64 step)
    : m_next(first)
    , m_step(step == 0 ? 1 : step)
{
}

std::optional<quint64> SerialState::peek() const
{
    if (!m_released.isEmpty())
        return m_released.first();
    if (m_exhausted)
        return std::nullopt;
    return m_next;
}

namespace {

// One word whatever the text holds: '=' then the text %-encoded.
QByteArray word(const QString &text)
{
    return '=' + QUrl::toPercentEncoding(text);
}

std::optional<QString> unword(const QString &text)
{
    if (!text.startsWith(QLatin1Char('=')))
        return std::nullopt;
    return QUrl::fromPercentEncoding(text.mid(1).toLatin1());
}

} // namespace

std::optional<quint64> SerialState::reserve(const BenchIdentity &holder, qint64 nowMs)
{
    const std::optional<quint64> number = peek();
    if (!number)
        return std::nullopt;
    if (!m_released.isEmpty()) {
        m_released.removeFirst();
    } else if (m_next > ~quint64(0) - m_step) {
        // The last number there is: never wrap round to numbers given out.
        m_exhausted = true;
    } else {
        m_next += m_step;
    }
    m_reserved.append({*number, holder, nowMs});
    return number;
}

bool SerialState::commit(quint64 number)
{
    const auto it = std::find_if(m_reserved.begin(), m_reserved.end(),
                                 [number](const Reservation &r) { return r.number == number; });
    if (it == m_reserved.end())
        return false;
    m_reserved.erase(it);
    return true;
}

bool SerialState::release(quint64 number)
{
    if (!commit(number))
        return false;
    m_released.insert(std::lower_bound(m_released.begin(), m_released.end(), number), number);
    return true;
}

bool SerialState::markWritten(quint64 number)
{
    for (Reservation &r : m_reserved)
        if (r.number == number) {
            r.written = true;
            return true;
        }
    return false;
}

bool SerialState::retire(quint64 number, const QString &reason)
{
    // Reserved, released meanwhile, or used by a device without its record:
    // whichever, it is given to no other device.
    commit(number);
    m_released.removeOne(number);
    if (std::any_of(m_retired.cbegin(), m_retired.cend(), [number](const Retired &r) { return r.number == number; }))
        return false;
    m_retired.append({number, reason});
    return true;
}

QString SerialState::holderDiedText()
{
    return QStringLiteral("its bench stopped after writing it");
}

void SerialState::reclaim(const BenchIdentity &self, const std::function<bool(qint64)> &alive, qint64 nowMs,
                          qint64 timeoutMs)
{
    for (Reservation &r : m_reserved)
        if (r.sinceMs < 0)
            r.sinceMs = nowMs;
    const QList<Reservation> held = m_reserved;
    for (const Reservation &r : held) {
        const bool dead = self.sameBoot(r.holder) && r.holder.pid != self.pid && !alive(r.holder.pid);
        if (!dead && nowMs - r.sinceMs <= timeoutMs)
            continue;
        if (r.written)
            retire(r.number, holderDiedText());
        else
            release(r.number);
    }
}

bool SerialState::processAlive(qint64 pid)
{
    return ProcessLiveness::isAlive(pid);
}

QByteArray SerialState::toText() const
{
    QByteArray out;
    if (form)
        out += "form " + QByteArray::number(form->address, 16).toUpper().rightJustified(4, '0') + ' '
               + QByteArray::number(form->start) + ' ' + QByteArray::number(form->step) + ' '
               + SerialFormat::formName(form->form).toLatin1() + ' ' + QByteArray::number(form->bytes) + '\n';
    out += "next " + QByteArray::number(m_next) + (m_exhausted ? " exhausted\n" : "\n");
    out += "released";
    for (quint64 n : m_released)
        out += ' ' + QByteArray::number(n);
    out += '\n';
    for (const Reservation &r : m_reserved)
        out += "reservation " + QByteArray::number(r.number) + ' ' + QByteArray::number(r.holder.pid) + ' '
               + QByteArray::number(r.sinceMs) + ' ' + word(r.holder.host) + ' ' + word(r.holder.machine) + ' '
               + word(r.holder.boot) + (r.written ? " written\n" : "\n");
    for (const Retired &r : m_retired)
        out += "retired " + QByteArray::number(r.number) + ' ' + word(r.reason) + '\n';
    return out;
}

std::optional<SerialState> SerialState::fromText(const QByteArray &text, quint64 step, QString *error)
{
    SerialState state(0, step);
    bool sawNext = false;
    int lineNumber = 0;
    auto bad = [&](const QString &why) {
        *error = QStringLiteral("line %1: %2").arg(lineNumber).arg(why);
        return std::nullopt;
    };
    for (const QByteArray &raw : text.split('\n')) {
        ++lineNumber;
        const QStringList words = QString::fromUtf8(raw).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        bool ok = true;
        const QString &key = words.first();
        if (key == QLatin1String("next") && (words.size() == 2 || words.size() == 3)) {
            state.m_next = words.at(1).toULongLong(&ok);
            state.m_exhausted = words.size() == 3 && words.at(2) == QLatin1String("exhausted");
            sawNext = true;
        } else if (key == QLatin1String("form") && words.size() == 6) {
            SerialFormat f;
            bool addressOk = false;
            bool startOk = false;
            bool stepOk = false;
            const uint address = words.at(1).toUInt(&addressOk, 16);
            f.address = uint16_t(address);
            f.start = words.at(2).toULongLong(&startOk);
            f.step = words.at(3).toULongLong(&stepOk);
            const std::optional<SerialFormat::Form> kind = SerialFormat::formOf(words.at(4));
            f.bytes = words.at(5).toInt(&ok);
            ok = ok && addressOk && address <= 0xFFFF && startOk && stepOk && f.step >= 1 && kind
                 && f.bytes >= 1 && f.bytes <= SerialFormat::maxBytes(*kind);
            if (kind)
                f.form = *kind;
            state.form = f;
            state.m_step = f.step == 0 ? 1 : f.step;
        } else if (key == QLatin1String("released")) {
            for (qsizetype i = 1; i < words.size() && ok; ++i)
                state.m_released.append(words.at(i).toULongLong(&ok));
        } else if (key == QLatin1String("retired") && words.size() == 3) {
            const std::optional<QString> reason = unword(words.at(2));
            if (!reason)
                return bad(QStringLiteral("a reason without its '=' in \"%1\"").arg(QString::fromUtf8(raw)));
            state.m_retired.append({words.at(1).toULongLong(&ok), *reason});
        } else if (key == QLatin1String("reservation")
                   && (words.size() == 7 || (words.size() == 8 && words.at(7) == QLatin1String("written")))) {
            Reservation r;
            bool pidOk = false;
            bool sinceOk = false;
            r.number = words.at(1).toULongLong(&ok);
            r.holder.pid = words.at(2).toLongLong(&pidOk);
            r.sinceMs = words.at(3).toLongLong(&sinceOk);
            const std::optional<QString> host = unword(words.at(4));
            const std::optional<QString> machine = unword(words.at(5));
            const std::optional<QString> boot = unword(words.at(6));
            if (!host || !machine || !boot)
                return bad(QStringLiteral("a host or id without its '=' in \"%1\"").arg(QString::fromUtf8(raw)));
            r.holder = {*host, *machine, *boot, r.holder.pid};
            r.written = words.size() == 8;
            ok = ok && pidOk && sinceOk;
            state.m_reserved.append(r);
        } else if (key == QLatin1String("reserved") && words.size() == 4) {
            // An older version's line: no machine, boot or time known, so
            // the holder is never taken for dead, only timed out.
            Reservation r;
            bool pidOk = false;
            r.number = words.at(1).toULongLong(&ok);
            r.holder.host = words.at(2);
            r.holder.pid = words.at(3).toLongLong(&pidOk);
            ok = ok && pidOk;
            state.m_reserved.append(r);
        } else {
            return bad(QStringLiteral("unknown entry \"%1\"").arg(QString::fromUtf8(raw)));
        }
        if (!ok)
            return bad(QStringLiteral("not a number in \"%1\"").arg(QString::fromUtf8(raw)));
    }
    if (!sawNext) {
        *error = QStringLiteral("no \"next\" entry");
        return std::nullopt;
    }
    std::sort(state.m_released.begin(), state.m_released.end());
    return state;
}
