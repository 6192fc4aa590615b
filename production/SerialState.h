#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// The serial numbers handed out so far: the next fresh number, the numbers
// released by failed devices (given out again first, lowest first) and the
// numbers reserved by devices under way, with the process that holds each.
// Plain data and rules; the stores keep it in memory or in a file.
class SerialState
{
public:
    struct Reservation
    {
        quint64 number = 0;
        QString host;
        qint64 pid = 0;
        bool operator==(const Reservation &) const = default;
    };

    explicit SerialState(quint64 first = 0, quint64 step = 1);

    quint64 next() const { return m_next; }
    const QList<quint64> &released() const { return m_released; }
    const QList<Reservation> &reserved() const { return m_reserved; }

    // The error when reserve has nothing left to give.
    static QString exhaustedText() { return QStringLiteral("no serial numbers are left"); }

    // The number reserve would give; nothing when the numbers ran out.
    std::optional<quint64> peek() const;
    std::optional<quint64> reserve(const QString &host, qint64 pid);
    // False when number is not reserved.
    bool commit(quint64 number);
    bool release(quint64 number);
    // Reservations of this host whose process has gone are released: a
    // crashed run does not lose its number.
    void reclaim(const QString &host, const std::function<bool(qint64 pid)> &alive);
    // Whether process pid of this machine still runs (one of another user
    // counts as running).
    static bool processAlive(qint64 pid);

    // A few text lines, readable by a person:
    //   next 1003 / released 1000 1002 / reserved 1001 HOST PID
    QByteArray toText() const;
    static std::optional<SerialState> fromText(const QByteArray &text, quint64 step, QString *error);

private:
    quint64 m_next;
    quint64 m_step;
    bool m_exhausted = false;
    QList<quint64> m_released;
    QList<Reservation> m_reserved;
};
