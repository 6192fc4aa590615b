#include "BenchBoard.h"

#include "BenchLiveness.h"
#include "ProductionDatabase.h"

#include <QSqlQuery>
#include <QVariant>

BenchBoard::BenchBoard(ProductionDatabase &database) : m_database(database) {}

bool BenchBoard::isGone(const BenchRow &row, qint64 nowMs)
{
    if (row.state == QLatin1String(Stopped))
        return false;
    const qint64 quiet = nowMs - row.changedMs;
    return quiet > (row.state == QLatin1String(Running) ? RunningGoneMs : QuietGoneMs);
}

bool BenchBoard::benches(QList<BenchRow> *rows, QString *error)
{
    rows->clear();
    // A database of an older schema has no benches yet.
    if (m_database.schemaVersion() < ProductionDatabase::BenchesVersion)
        return true;
    QSqlQuery query = m_database.newQuery();
    query.setForwardOnly(true);
    // The reader's now is the clock the benches' rows were timed by.
    if (!m_database.exec(query, QStringLiteral("SELECT host, port, state, command, devices, job, lot, step, text, "
                                               "changed_ms, %1 FROM tarvo_benches ORDER BY host, port")
                                    .arg(m_database.nowMillis()))) {
        *error = m_database.faultText(m_database.lastFault());
        return false;
    }
    while (query.next()) {
        BenchRow row;
        row.host = query.value(0).toString();
        row.portEntry = query.value(1).toString();
        row.state = query.value(2).toString();
        row.command = query.value(3).toString();
        row.devices = query.value(4).toLongLong();
        row.job = query.value(5).toString();
        row.lot = query.value(6).toString();
        row.step = query.value(7).toString();
        row.text = query.value(8).toString();
        row.changedMs = query.value(9).toLongLong();
        row.gone = isGone(row, query.value(10).toLongLong());
        rows->append(row);
    }
    return true;
}

QString BenchBoard::writeStatement(const ProductionDatabase &database, bool alone)
{
    const QString values = QStringLiteral("?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ") + database.nowMillis();
    // Settings of this statement's own transaction, made before its rows:
    // one statement, whose error the driver reports (of several in one
    // string it reports only the first's).
    const QString source = alone && database.isPostgres()
                               ? QStringLiteral("SELECT %1 FROM (SELECT set_config('synchronous_commit', 'off', true), "
                                                "set_config('lock_timeout', '%2', true)) AS alone")
                                     .arg(values)
                                     .arg(BenchLiveness::LockWaitMs)
                               : QStringLiteral("VALUES (%1)").arg(values);
    return QStringLiteral("INSERT INTO tarvo_benches (host, port, state, command, devices, job, lot, step, text, pid, changed_ms) "
                          "%1 ON CONFLICT (host, port) DO UPDATE SET "
                          "state = excluded.state, command = excluded.command, devices = excluded.devices, "
                          "job = excluded.job, lot = excluded.lot, step = excluded.step, text = excluded.text, "
                          "pid = excluded.pid, changed_ms = excluded.changed_ms")
        .arg(source);
}

QVariantList BenchBoard::writeValues(const BenchRow &row, qint64 pid)
{
    // The columns are NOT NULL: a text never set goes in empty.
    const auto text = [](const QString &s) { return s.isNull() ? QStringLiteral("") : s; };
    return {text(row.host), text(row.portEntry), text(row.state), text(row.command), row.devices, text(row.job),
            text(row.lot), text(row.step), text(row.text), pid};
}

bool BenchBoard::write(ProductionDatabase &database, const BenchRow &row, qint64 pid)
{
    QSqlQuery query = database.newQuery();
    return database.exec(query, writeStatement(database), writeValues(row, pid));
}
