#include "SerialState.h"

#include "ProcessLiveness.h"

#include <QStringList>
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

std::optional<quint64> SerialState::reserve(const QString &host, qint64 pid)
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
    m_reserved.append({*number, host, pid});
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

void SerialState::reclaim(const QString &host, const std::function<bool(qint64)> &alive)
{
    const QList<Reservation> held = m_reserved;
    for (const Reservation &r : held)
        if (r.host == host && !alive(r.pid))
            release(r.number);
}

bool SerialState::processAlive(qint64 pid)
{
    return ProcessLiveness::isAlive(pid);
}

QByteArray SerialState::toText() const
{
    QByteArray out = "next " + QByteArray::number(m_next) + (m_exhausted ? " exhausted\n" : "\n");
    out += "released";
    for (quint64 n : m_released)
        out += ' ' + QByteArray::number(n);
    out += '\n';
    for (const Reservation &r : m_reserved)
        out += "reserved " + QByteArray::number(r.number) + ' ' + r.host.toUtf8() + ' ' + QByteArray::number(r.pid) + '\n';
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
        } else if (key == QLatin1String("released")) {
            for (qsizetype i = 1; i < words.size() && ok; ++i)
                state.m_released.append(words.at(i).toULongLong(&ok));
        } else if (key == QLatin1String("reserved") && words.size() == 4) {
            Reservation r;
            bool pidOk = false;
            r.number = words.at(1).toULongLong(&ok);
            r.host = words.at(2);
            r.pid = words.at(3).toLongLong(&pidOk);
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
