#pragma once

#include "SerialFormat.h"
#include "SerialSource.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

class ProductionDatabase;

// The serial numbers of one product, kept in the production database and
// shared by every bench of the line. The form (address, start, step, form,
// bytes) is stored with the sequence on first use; later use follows it,
// and a form given that differs from it is refused.
//
// Every step is one transaction that first locks the sequence's row, so
// benches reserving at once are served one after the other. A reservation
// notes the bench (host, machine id, process id); a reservation whose
// process is gone from this machine, or that is older than the time-out,
// is released, or retired when it was written (its number may be in a
// device), and released numbers go to the next device, lowest first.
class SqlSerialSequence : public SerialSource
{
public:
    // Longer than any device run: a bench still holding a number after
    // this long is taken as gone.
    static constexpr qint64 DefaultTimeoutMs = 10 * 60 * 1000;
    static constexpr qint64 ReclaimIntervalMs = 5000;

    // requested: the form the user gave, or nothing to follow the stored one.
    SqlSerialSequence(std::shared_ptr<ProductionDatabase> database, const QString &name,
                      std::optional<SerialFormat> requested);

    bool open(QString *error) override;
    std::optional<quint64> peek(QString *error) override;
    std::optional<quint64> reserve(QString *error) override;
    bool commit(quint64 number, QString *error) override;
    bool release(quint64 number, QString *error) override;
    bool markWritten(quint64 number, QString *error) override;
    bool retire(quint64 number, const QString &reason, QString *error) override;
    QString name() const override { return m_name; }
    std::optional<SerialFormat> keptFormat() const override { return m_format; }

    void setTimeoutMs(qint64 ms) { m_timeoutMs = ms; }
    // Who holds the reservations; this process by default.
    void setBench(const QString &host, const QString &machine, qint64 pid);

    // "address 07F0, start 1000, step 1, le, 4 bytes"
    static QString describe(const SerialFormat &format);

    struct Retired
    {
        QString sequence;
        quint64 number = 0;
        QString reason;
        // When it was retired, ms since 1970 (the server's clock).
        qint64 sinceMs = 0;
    };
    // Every retired number of the database, by sequence and number.
    static bool retiredNumbers(ProductionDatabase &database, QList<Retired> *list, QString *error);

private:
    bool define(QString *reason);
    bool lockSequence(std::optional<qint64> *next, QString *reason);
    // reclaim(), at most once every ReclaimIntervalMs.
    bool reclaimNow();
    bool reclaim();
    bool lowestReleased(std::optional<qint64> *number);
    // Sets the state of our reservation of number; rows is 0 when it is
    // not ours (any more).
    bool settle(quint64 number, const char *state, int *rows, QString *error);
    // Whether our reservation of number already has state (a retried step).
    bool alreadyIn(quint64 number, const char *state);
    qint64 largest() const;

    std::shared_ptr<ProductionDatabase> m_database;
    QString m_name;
    std::optional<SerialFormat> m_requested;
    std::optional<SerialFormat> m_format;
    qint64 m_timeoutMs = DefaultTimeoutMs;
    QElapsedTimer m_lastReclaim;
    QString m_host;
    QString m_machine;
    qint64 m_pid;
};
