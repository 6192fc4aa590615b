#include "BenchLiveness.h"

#include "DeviceCommand.h"
#include "DeviceRecord.h"
#include "ProductionDatabase.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QSysInfo>

BenchLiveness::BenchLiveness(ProductionDatabase &database)
    : m_database(database)
    , m_pid(QCoreApplication::applicationPid())
{
    m_row.host = QSysInfo::machineHostName();
    m_row.state = QLatin1String(BenchBoard::Waiting);
    m_refresh.setSingleShot(true);
    QObject::connect(&m_refresh, &QTimer::timeout, [this] {
        write();
        refreshAfter(int(BenchBoard::RefreshMs));
    });
}

BenchLiveness::~BenchLiveness()
{
    if (m_written)
        stopped();
}

void BenchLiveness::setPort(const QString &portEntry)
{
    if (portEntry == m_row.portEntry)
        return;
    if (m_written && m_row.state != QLatin1String(BenchBoard::Stopped)) {
        BenchRow old = m_row;
        old.state = QLatin1String(BenchBoard::Stopped);
        old.command.clear();
        write(old);
    }
    m_row.portEntry = portEntry;
    m_written = false;
}

void BenchLiveness::setJob(const QString &job, const QString &lot)
{
    m_row.job = job;
    m_row.lot = lot;
}

void BenchLiveness::setState(const char *state)
{
    m_row.state = QLatin1String(state);
}

void BenchLiveness::waiting()
{
    const bool afterDevice = m_row.state == QLatin1String(BenchBoard::Passed)
                             || m_row.state == QLatin1String(BenchBoard::Failed);
    setState(BenchBoard::Waiting);
    m_row.command.clear();
    if (afterDevice && m_written) {
        refreshAfter(WaitingAfterMs);
        return;
    }
    write();
    refreshAfter(int(BenchBoard::RefreshMs));
}

void BenchLiveness::deviceStarted(const QString &commands)
{
    m_refresh.stop();
    setState(BenchBoard::Running);
    m_row.command = commands;
    ++m_row.devices;
    m_failedStep.clear();
    m_failedText.clear();
    write();
}

void BenchLiveness::stopped()
{
    m_refresh.stop();
    setState(BenchBoard::Stopped);
    m_row.command.clear();
    write();
}

BenchRow BenchLiveness::afterRecord(const DeviceRecord &record)
{
    m_refresh.stop();
    // A record of something done outside a device's run (a fuse write)
    // counts as a device of its own.
    if (m_row.state != QLatin1String(BenchBoard::Running)) {
        ++m_row.devices;
        m_row.command = record.commands.join(QLatin1Char(' '));
    }
    if (record.passed) {
        setState(BenchBoard::Passed);
    } else {
        setState(BenchBoard::Failed);
        m_row.step = m_failedStep;
        m_row.text = m_failedStep.isEmpty() && !record.outcome.isEmpty() ? record.outcome.constLast() : m_failedText;
    }
    m_failedStep.clear();
    m_failedText.clear();
    m_written = true;
    refreshAfter(int(BenchBoard::RefreshMs));
    return m_row;
}

void BenchLiveness::commandArmed(const DeviceCommand &)
{
    if (m_row.state != QLatin1String(BenchBoard::Running))
        waiting();
}

void BenchLiveness::runEnded(const RunEnd &end)
{
    // The window's record was written just before (its recorder listens
    // first): a passed command waits for Run again.
    const bool recorded = m_row.state == QLatin1String(BenchBoard::Passed);
    if (recorded && end.outcome == RunState::Passed)
        waiting();
}

void BenchLiveness::runStarted(const DeviceCommand &command)
{
    // tarvo-cli said so for the whole device already.
    if (m_row.state != QLatin1String(BenchBoard::Running))
        deviceStarted(QString(command.name));
}

void BenchLiveness::stepEnded(const RunStep &step, const StepEnd &end)
{
    if (end.passed || !m_failedStep.isEmpty())
        return;
    const DeviceCommand *command = step.exchange ? step.exchange : step.command;
    m_failedStep = command ? QString(command->name) : QString();
    m_failedText = end.text;
}

void BenchLiveness::refreshAfter(int ms)
{
    m_refresh.start(ms);
}

void BenchLiveness::write()
{
    write(m_row);
}

void BenchLiveness::write(const BenchRow &row)
{
    if (row.portEntry.isEmpty())
        return;
    QSqlQuery query = m_database.newQuery();
    bool ok = false;
    // The row alone need not be on disk before the bench goes on: the
    // next record's commit takes it along. Another session's lock is
    // waited for a moment only; the row is written again at the next
    // change or refresh.
    if (m_database.isPostgres()) {
        ok = m_database.exec(query, BenchBoard::writeStatement(m_database, true), BenchBoard::writeValues(row, m_pid));
    } else {
        m_database.exec(query, QStringLiteral("PRAGMA busy_timeout = %1").arg(LockWaitMs));
        m_database.exec(query, QStringLiteral("PRAGMA synchronous = NORMAL"));
        ok = BenchBoard::write(m_database, row, m_pid);
        m_database.exec(query, QStringLiteral("PRAGMA synchronous = FULL"));
        m_database.exec(query, QStringLiteral("PRAGMA busy_timeout = %1").arg(ProductionDatabase::LockTimeoutMs));
    }
    m_error = ok ? QString() : m_database.faultText(m_database.lastFault());
    m_written = m_written || ok;
}
