#include "SqlSerialSequence.h"

#include "BenchIdentity.h"
#include "ProductionDatabase.h"
#include "SerialState.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>
#include <limits>
#include <unistd.h>

namespace {

constexpr qint64 LargestStored = std::numeric_limits<qint64>::max();

QString exhaustedText(const QString &name)
{
    return QStringLiteral("The serial sequence \"%1\": %2.").arg(name, SerialState::exhaustedText());
}


} // namespace

SqlSerialSequence::SqlSerialSequence(std::shared_ptr<ProductionDatabase> database, const QString &name,
                                     std::optional<SerialFormat> requested)
    : m_database(std::move(database))
    , m_name(name)
    , m_requested(requested)
{
    // The machine column holds the machine's and the boot's ids: a process
    // id can be asked about only on the same boot of the same machine.
    // Without them the holder is never taken for dead, only timed out.
    const BenchIdentity bench = BenchIdentity::current();
    m_host = bench.host;
    m_pid = bench.pid;
    m_machine = QStringLiteral(""); // empty, not NULL: the column is NOT NULL
    if (!bench.machine.isEmpty() && !bench.boot.isEmpty())
        m_machine = bench.machine + QLatin1Char('/') + bench.boot;
}

void SqlSerialSequence::setBench(const QString &host, const QString &machine, qint64 pid)
{
    m_host = host;
    m_machine = machine;
    m_pid = pid;
}

QString SqlSerialSequence::describe(const SerialFormat &format)
{
    return format.describe();
}

qint64 SqlSerialSequence::largest() const
{
    return qint64(qMin<quint64>(m_format->largest(), quint64(LargestStored)));
}

bool SqlSerialSequence::open(QString *error)
{
    if (m_name.trimmed().isEmpty()) {
        *error = QStringLiteral("The serial sequence needs a name.");
        return false;
    }
    return m_database->open(error) && m_database->transact([this](QString *reason) { return define(reason); }, error);
}

bool SqlSerialSequence::define(QString *reason)
{
    QSqlQuery query = m_database->newQuery();
    if (!m_database->exec(query,
                          QStringLiteral("SELECT address, start_number, step, form, bytes FROM tarvo_sequences WHERE name = ?"),
                          {m_name}))
        return false;
    if (query.next()) {
        SerialFormat stored;
        stored.address = uint16_t(query.value(0).toUInt());
        stored.start = query.value(1).toULongLong();
        stored.step = query.value(2).toULongLong();
        stored.form = SerialFormat::formOf(query.value(3).toString()).value_or(SerialFormat::Form::Le);
        stored.bytes = query.value(4).toInt();
        if (m_requested && !(*m_requested == stored)) {
            *reason = QStringLiteral("The serial sequence \"%1\" keeps %2; the options ask for %3. "
                                     "Leave out --serial to follow the sequence.")
                          .arg(m_name, describe(stored), describe(*m_requested));
            return false;
        }
        m_format = stored;
        return true;
    }
    if (!m_requested) {
        *reason = QStringLiteral("The serial sequence \"%1\" does not exist yet: give its form on first use "
                                 "(--serial ADDR:START[:STEP], --serial-format, --serial-bytes).")
                      .arg(m_name);
        return false;
    }
    if (m_requested->start > quint64(LargestStored) || !m_requested->fits(m_requested->start)) {
        *reason = QStringLiteral("The first serial number %1 does not fit the sequence's form.").arg(m_requested->start);
        return false;
    }
    if (m_requested->step == 0 || m_requested->step > SerialFormat::LargestStep) {
        *reason = QStringLiteral("The serial step %1 is not from 1 to %2.").arg(m_requested->step).arg(SerialFormat::LargestStep);
        return false;
    }
    // Two benches defining one sequence at once: the second insert fails on
    // the key, and its retry finds the row the first made.
    m_format = m_requested;
    return m_database->exec(query,
                            QStringLiteral("INSERT INTO tarvo_sequences (name, address, start_number, step, form, bytes, "
                                           "next_number, created_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                            {m_name, int(m_format->address), qint64(m_format->start), qint64(m_format->step),
                             SerialFormat::formName(m_format->form), m_format->bytes, qint64(m_format->start),
                             QDateTime::currentDateTime().toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc()).toString(Qt::ISODate)});
}

bool SqlSerialSequence::lockSequence(std::optional<qint64> *next, QString *reason)
{
    QSqlQuery query = m_database->newQuery();
    if (!m_database->exec(query,
                          QStringLiteral("SELECT next_number FROM tarvo_sequences WHERE name = ?") + m_database->forUpdate(),
                          {m_name}))
        return false;
    if (!query.next()) {
        *reason = QStringLiteral("The serial sequence \"%1\" is gone from the database.").arg(m_name);
        return false;
    }
    *next = query.value(0).isNull() ? std::nullopt : std::optional<qint64>(query.value(0).toLongLong());
    return true;
}

bool SqlSerialSequence::reclaimNow()
{
    // Each reclaim costs two round trips under the sequence's lock; a
    // vanished bench can wait a few seconds for its numbers to come back.
    if (m_lastReclaim.isValid() && m_lastReclaim.elapsed() < qMin(ReclaimIntervalMs, m_timeoutMs))
        return true;
    if (!reclaim())
        return false;
    m_lastReclaim.start();
    return true;
}

bool SqlSerialSequence::reclaim()
{
    QSqlQuery query = m_database->newQuery();
    const QString now = m_database->nowMillis();
    // A written number may be in a device: it is retired, never released.
    const QString died = SerialState::holderDiedText();
    if (!m_database->exec(query,
                          QStringLiteral("UPDATE tarvo_reservations SET state = 'released', changed_ms = %1 "
                                         "WHERE sequence_name = ? AND state = 'reserved' AND changed_ms < %1 - ?")
                              .arg(now),
                          {m_name, m_timeoutMs})
        || !m_database->exec(query,
                             QStringLiteral("UPDATE tarvo_reservations SET state = 'retired', reason = ?, changed_ms = %1 "
                                            "WHERE sequence_name = ? AND state = 'written' AND changed_ms < %1 - ?")
                                 .arg(now),
                             {died, m_name, m_timeoutMs}))
        return false;
    // Processes of this host, machine and boot can be asked at once whether
    // they still run.
    if (m_machine.isEmpty())
        return true;
    if (!m_database->exec(query,
                          QStringLiteral("SELECT DISTINCT pid FROM tarvo_reservations WHERE sequence_name = ? AND "
                                         "state IN ('reserved', 'written') AND host = ? AND machine = ? AND pid <> ?"),
                          {m_name, m_host, m_machine, m_pid}))
        return false;
    QList<qint64> gone;
    while (query.next())
        if (!SerialState::processAlive(query.value(0).toLongLong()))
            gone << query.value(0).toLongLong();
    for (qint64 pid : gone) {
        if (!m_database->exec(query,
                              QStringLiteral("UPDATE tarvo_reservations SET state = 'released', changed_ms = %1 WHERE "
                                             "sequence_name = ? AND state = 'reserved' AND host = ? AND machine = ? AND pid = ?")
                                  .arg(now),
                              {m_name, m_host, m_machine, pid})
            || !m_database->exec(query,
                                 QStringLiteral("UPDATE tarvo_reservations SET state = 'retired', reason = ?, changed_ms = %1 "
                                                "WHERE sequence_name = ? AND state = 'written' AND host = ? AND machine = ? "
                                                "AND pid = ?")
                                     .arg(now),
                                 {died, m_name, m_host, m_machine, pid}))
            return false;
    }
    return true;
}

bool SqlSerialSequence::lowestReleased(std::optional<qint64> *number)
{
    QSqlQuery query = m_database->newQuery();
    if (!m_database->exec(query,
                          QStringLiteral("SELECT MIN(number) FROM tarvo_reservations WHERE sequence_name = ? AND state = 'released'"),
                          {m_name})
        || !query.next())
        return false;
    *number = query.value(0).isNull() ? std::nullopt : std::optional<qint64>(query.value(0).toLongLong());
    return true;
}

std::optional<quint64> SqlSerialSequence::peek(QString *error)
{
    std::optional<quint64> number;
    const bool ok = m_database->transact(
        [&](QString *reason) {
            std::optional<qint64> next;
            std::optional<qint64> released;
            if (!lockSequence(&next, reason) || !lowestReleased(&released))
                return false;
            if (released)
                number = quint64(*released);
            else if (next)
                number = quint64(*next);
            else
                *reason = exhaustedText(m_name);
            return number.has_value();
        },
        error);
    return ok ? number : std::nullopt;
}

std::optional<quint64> SqlSerialSequence::reserve(QString *error)
{
    std::optional<quint64> number;
    const bool ok = m_database->transact(
        [&](QString *reason) {
            std::optional<qint64> next;
            std::optional<qint64> released;
            if (!lockSequence(&next, reason) || !reclaimNow() || !lowestReleased(&released))
                return false;
            QSqlQuery query = m_database->newQuery();
            const QString now = m_database->nowMillis();
            if (released) {
                if (!m_database->exec(query,
                                      QStringLiteral("UPDATE tarvo_reservations SET state = 'reserved', host = ?, machine = ?, "
                                                     "pid = ?, changed_ms = %1 "
                                                     "WHERE sequence_name = ? AND number = ? AND state = 'released'")
                                          .arg(now),
                                      {m_host, m_machine, m_pid, m_name, *released}))
                    return false;
                number = quint64(*released);
                return true;
            }
            if (!next) {
                *reason = exhaustedText(m_name);
                return false;
            }
            // In unsigned numbers: a step read from an older row may be anything.
            const quint64 step = m_format->step;
            const quint64 most = quint64(largest());
            const QVariant after = quint64(*next) <= most && step <= most - quint64(*next)
                                       ? QVariant(qint64(quint64(*next) + step))
                                       : QVariant(QMetaType::fromType<qint64>());
            if (!m_database->exec(query,
                                  QStringLiteral("INSERT INTO tarvo_reservations (sequence_name, number, state, host, machine, "
                                                 "pid, changed_ms) VALUES (?, ?, 'reserved', ?, ?, ?, %1)")
                                      .arg(now),
                                  {m_name, *next, m_host, m_machine, m_pid})
                || !m_database->exec(query, QStringLiteral("UPDATE tarvo_sequences SET next_number = ? WHERE name = ?"),
                                     {after, m_name}))
                return false;
            number = quint64(*next);
            return true;
        },
        error);
    return ok ? number : std::nullopt;
}

bool SqlSerialSequence::settle(quint64 number, const char *state, int *rows, QString *error)
{
    // One statement: the state changes only where the reservation is ours.
    return m_database->execute(QStringLiteral("UPDATE tarvo_reservations SET state = '%1', changed_ms = %2 "
                                              "WHERE sequence_name = ? AND number = ? AND state IN ('reserved', 'written') "
                                              "AND machine = ? AND pid = ?")
                                   .arg(QLatin1String(state), m_database->nowMillis()),
                               {m_name, qint64(number), m_machine, m_pid}, error, rows);
}

bool SqlSerialSequence::commit(quint64 number, QString *error)
{
    int rows = 0;
    if (!settle(number, "used", &rows, error))
        return false;
    // A commit retried after its answer was lost finds its own row used.
    if (rows == 1 || alreadyIn(number, "used"))
        return true;
    *error = QStringLiteral("The serial number %1 of sequence \"%2\" is no longer reserved for this bench "
                            "(released after %3 s): it may be given to another device.")
                 .arg(number)
                 .arg(m_name)
                 .arg(m_timeoutMs / 1000);
    return false;
}

bool SqlSerialSequence::release(quint64 number, QString *error)
{
    // A reservation already taken back after the time-out is left alone.
    int rows = 0;
    return settle(number, "released", &rows, error);
}

bool SqlSerialSequence::alreadyIn(quint64 number, const char *state)
{
    QSqlQuery query = m_database->newQuery();
    return m_database->exec(query,
                            QStringLiteral("SELECT COUNT(*) FROM tarvo_reservations WHERE sequence_name = ? AND number = ? "
                                           "AND state = ? AND machine = ? AND pid = ?"),
                            {m_name, qint64(number), QLatin1String(state), m_machine, m_pid})
           && query.next() && query.value(0).toInt() == 1;
}

bool SqlSerialSequence::markWritten(quint64 number, QString *error)
{
    int rows = 0;
    if (!settle(number, "written", &rows, error))
        return false;
    if (rows == 1)
        return true;
    *error = QStringLiteral("The serial number %1 of sequence \"%2\" is no longer reserved for this bench: "
                            "it is not written into the device.")
                 .arg(number)
                 .arg(m_name);
    return false;
}

bool SqlSerialSequence::retire(quint64 number, const QString &reason, QString *error)
{
    // Ours (used too: a device whose record was lost), or already taken
    // back (released) while the device ran: either way it may be in this
    // device and must not go to another.
    return m_database->execute(QStringLiteral("UPDATE tarvo_reservations SET state = 'retired', reason = ?, changed_ms = %1 "
                                              "WHERE sequence_name = ? AND number = ? AND (state = 'released' OR "
                                              "(state IN ('reserved', 'written', 'used') AND machine = ? AND pid = ?))")
                                   .arg(m_database->nowMillis()),
                               {reason, m_name, qint64(number), m_machine, m_pid}, error);
}

bool SqlSerialSequence::retiredNumbers(ProductionDatabase &database, QList<Retired> *list, QString *error)
{
    list->clear();
    // A database of the first version has no retired numbers.
    if (database.schemaVersion() < 2)
        return true;
    QSqlQuery query = database.newQuery();
    if (!database.exec(query, QStringLiteral("SELECT sequence_name, number, reason, changed_ms FROM tarvo_reservations "
                                             "WHERE state = 'retired' ORDER BY sequence_name, number"))) {
        *error = database.faultText(database.lastFault());
        return false;
    }
    while (query.next())
        list->append({query.value(0).toString(), query.value(1).toULongLong(), query.value(2).toString(),
                      query.value(3).toLongLong()});
    return true;
}
