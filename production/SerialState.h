#pragma once

#include "BenchIdentity.h"
#include "SerialFormat.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// The serial numbers handed out so far: the next fresh number, the numbers
// released by failed devices (given out again first, lowest first), the
// numbers reserved by devices under way, with the process that holds each
// and whether the number may already be in the device (written), and the
// numbers retired because they may be in a device that never passed: those
// are never handed out again.
// Plain data and rules; the stores keep it in memory or in a file.
class SerialState
{
public:
    struct Reservation
    {
        quint64 number = 0;
        BenchIdentity holder;
        // When it was made (ms since 1970); -1 when not known (a file of an
        // older version): the time-out then runs from the next reading.
        qint64 sinceMs = -1;
        // Marked just before the first byte of the number went to a device.
        bool written = false;
        bool operator==(const Reservation &) const = default;
    };
    struct Retired
    {
        quint64 number = 0;
        QString reason;
        bool operator==(const Retired &) const = default;
    };

    // Longer than any device run: a number held this long by a process
    // that cannot be asked about is taken back.
    static constexpr qint64 HolderTimeoutMs = 10 * 60 * 1000;

    explicit SerialState(quint64 first = 0, quint64 step = 1);

    quint64 next() const { return m_next; }
    // The form the numbers were made for; nothing in a file of an older
    // version.
    std::optional<SerialFormat> form;
    const QList<quint64> &released() const { return m_released; }
    const QList<Reservation> &reserved() const { return m_reserved; }
    const QList<Retired> &retired() const { return m_retired; }

    // The error when reserve has nothing left to give.
    static QString exhaustedText() { return QStringLiteral("no serial numbers are left"); }
    // The reason kept with a written number whose holder went away.
    static QString holderDiedText();

    // The number reserve would give; nothing when the numbers ran out.
    std::optional<quint64> peek() const;
    std::optional<quint64> reserve(const BenchIdentity &holder, qint64 nowMs);
    // False when number is not reserved.
    bool commit(quint64 number);
    bool release(quint64 number);
    // False when number is not reserved.
    bool markWritten(quint64 number);
    // number is never handed out again, whatever its state (a used number
    // whose device lost its record too); false when already retired.
    bool retire(quint64 number, const QString &reason);
    // Reservations whose process has gone are released, so that a crashed
    // run does not lose its number, or retired when they were written (the
    // number may be in a device): by the process's death only when self
    // shares the holder's host, machine and boot; otherwise only once the
    // reservation is older than timeoutMs.
    void reclaim(const BenchIdentity &self, const std::function<bool(qint64 pid)> &alive, qint64 nowMs,
                 qint64 timeoutMs = HolderTimeoutMs);
    // Whether process pid of this machine still runs (one of another user
    // counts as running).
    static bool processAlive(qint64 pid);

    // A few text lines, readable by a person:
    //   form 07F0 1000 1 le 4 (address, start, step, form, bytes) /
    //   next 1003 / released 1000 1002 /
    //   reservation 1001 PID SINCE_MS =HOST =MACHINE =BOOT [written] /
    //   retired 999 =REASON
    // The host and ids are %-encoded after '=', so that any host name (empty,
    // blank, with spaces or line breaks) stays one word. The older
    // "reserved NUMBER HOST PID" lines are still read.
    QByteArray toText() const;
    static std::optional<SerialState> fromText(const QByteArray &text, quint64 step, QString *error);

private:
    quint64 m_next;
    quint64 m_step;
    bool m_exhausted = false;
    QList<quint64> m_released;
    QList<Reservation> m_reserved;
    QList<Retired> m_retired;
};
