#include "ProductionDatabase.h"

#include "RecordField.h"
#include "RecordTally.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QStringList>
#include <iterator>

namespace {

// The report's questions: by job and lot, by job alone (its newest records),
// by bench, from a day on; each in time order within its group.
constexpr char RecordsByJobLotIndex[] = "CREATE INDEX tarvo_records_by_job_lot ON tarvo_records (job_name, lot, recorded_utc)";
constexpr char RecordsByJobIndex[] = "CREATE INDEX tarvo_records_by_job ON tarvo_records (job_name, recorded_utc)";
constexpr char RecordsByBenchIndex[] = "CREATE INDEX tarvo_records_by_bench ON tarvo_records (host, port, recorded_utc)";
constexpr char RecordsByDayIndex[] = "CREATE INDEX tarvo_records_by_day ON tarvo_records (record_day)";
// One row per bench (host, port as the user named it): what it does now,
// for whoever watches the line; changed_ms on the database's clock.
constexpr char BenchesTable[] = "CREATE TABLE tarvo_benches ("
                                " host TEXT NOT NULL, port TEXT NOT NULL, state TEXT NOT NULL, command TEXT NOT NULL,"
                                " devices BIGINT NOT NULL, job TEXT NOT NULL, lot TEXT NOT NULL, step TEXT NOT NULL,"
                                " text TEXT NOT NULL, pid BIGINT NOT NULL, changed_ms BIGINT NOT NULL,"
                                " PRIMARY KEY (host, port))";
// The records counted by day and group (RecordTally), and the two ways
// a summary picks its rows without a job: from a bench's day, from a UTC day.
constexpr char CountsTable[] = "CREATE TABLE tarvo_record_counts ("
                               " record_day TEXT NOT NULL, utc_day TEXT NOT NULL, device TEXT NOT NULL,"
                               " job_name TEXT NOT NULL, lot TEXT NOT NULL, host TEXT NOT NULL, port TEXT NOT NULL,"
                               " passed INTEGER NOT NULL, step TEXT NOT NULL, devices BIGINT NOT NULL,"
                               " PRIMARY KEY (job_name, lot, record_day, utc_day, device, host, port, passed, step))";
constexpr char CountsByDayIndex[] = "CREATE INDEX tarvo_record_counts_by_day ON tarvo_record_counts (record_day)";
constexpr char CountsByUtcDayIndex[] = "CREATE INDEX tarvo_record_counts_by_utc_day ON tarvo_record_counts (utc_day)";
constexpr char RetiredIndex[] =
    "CREATE INDEX tarvo_reservations_retired ON tarvo_reservations (sequence_name, number) WHERE state = 'retired'";

// The schema as this version makes it. %1 is the dialect's auto-numbered
// key, %2 the columns of the record's fields (RecordField).
const char *const SchemaStatements[] = {
    "CREATE TABLE tarvo_schema (version INTEGER NOT NULL)",
    // One row per device run: the fields of the log record, plus the
    // bench's process, the UTC time (for --since) and the bench's day.
    "CREATE TABLE tarvo_records ( id %1, %2)",
    "CREATE INDEX tarvo_records_by_time ON tarvo_records (recorded_utc)",
    "CREATE UNIQUE INDEX tarvo_records_by_record_id ON tarvo_records (record_id)",
    RecordsByJobLotIndex,
    RecordsByJobIndex,
    RecordsByBenchIndex,
    RecordsByDayIndex,
    // The form of a product's numbers is kept with it on first use, so every
    // bench writes the same form. next_number is NULL once the numbers ran out.
    "CREATE TABLE tarvo_sequences ("
    " name TEXT PRIMARY KEY, address INTEGER NOT NULL, start_number BIGINT NOT NULL,"
    " step BIGINT NOT NULL, form TEXT NOT NULL, bytes INTEGER NOT NULL, next_number BIGINT,"
    " created_at TEXT NOT NULL)",
    // Every number handed out: reserved (a device under way on host/pid),
    // written (it may be in that device), used (a device passed), released
    // (to be given to the next device) or retired (never again; reason).
    "CREATE TABLE tarvo_reservations ("
    " sequence_name TEXT NOT NULL REFERENCES tarvo_sequences (name), number BIGINT NOT NULL,"
    " state TEXT NOT NULL, host TEXT NOT NULL, machine TEXT NOT NULL, pid BIGINT NOT NULL,"
    " changed_ms BIGINT NOT NULL, reason TEXT,"
    " PRIMARY KEY (sequence_name, number))",
    "CREATE INDEX tarvo_reservations_by_state ON tarvo_reservations (sequence_name, state, number)",
    RetiredIndex,
    BenchesTable,
    CountsTable,
    CountsByDayIndex,
    CountsByUtcDayIndex,
};

// What brings a database of an older version to this one, in order; it
// gets them on its first use by a bench. A step is a statement, the
// columns of the record's fields of a form (as the field table names them),
// or work on the rows.
struct Upgrade
{
    int toVersion;
    const char *statement;
    int recordForm = 0;
    bool (*work)(ProductionDatabase &) = nullptr;
};
constexpr Upgrade Upgrades[] = {
    // A number is also written (it may be in a device) or retired (never
    // handed out again), with why; a record carries the bench's id for it.
    {2, "ALTER TABLE tarvo_reservations ADD COLUMN reason TEXT"},
    {2, "ALTER TABLE tarvo_records ADD COLUMN record_id TEXT"},
    {2, "CREATE UNIQUE INDEX tarvo_records_by_record_id ON tarvo_records (record_id)"},
    // Form 2: version, fuse value, scanned code.
    {3, nullptr, 2},
    // Form 3: job, its file's SHA-256, operator, lot; and the report's
    // groupings found without reading every record.
    {4, nullptr, 3},
    {4, RecordsByJobLotIndex},
    {4, RecordsByJobIndex},
    {4, RecordsByBenchIndex},
    {4, RecordsByDayIndex},
    // The benches' rows, and the retired numbers found without reading
    // every number used.
    {5, BenchesTable},
    {5, RetiredIndex},
    // The records counted by day as they are written (a trigger), and
    // the records already there counted.
    {6, "ALTER TABLE tarvo_records ADD COLUMN failed_step TEXT"},
    {6, CountsTable},
    {6, CountsByDayIndex},
    {6, CountsByUtcDayIndex},
    {6, nullptr, 0, &RecordTally::createTrigger},
    {6, nullptr, 0, [](ProductionDatabase &database) { return RecordTally::countRecords(database, 0); }},
};
static_assert(std::end(Upgrades)[-1].toVersion == ProductionDatabase::SchemaVersion);

// What differs between the two servers, as data.
struct Dialect
{
    const char *driver;
    const char *driverPackage;
    const char *autoKey;
    const char *begin;
    const char *hasSchemaTable;
    const char *nowMillis;
    const char *forUpdate;
};

const Dialect Sqlite = {
    "QSQLITE",
    "libqt6sql6-sqlite",
    "INTEGER PRIMARY KEY AUTOINCREMENT",
    // Takes the write lock at once: two writers never both read, then
    // upgrade and deadlock.
    "BEGIN IMMEDIATE",
    "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'tarvo_schema'",
    "CAST((julianday('now') - 2440587.5) * 86400000.0 AS INTEGER)",
    "",
};

const Dialect Postgres = {
    "QPSQL",
    "libqt6sql6-psql",
    "BIGSERIAL PRIMARY KEY",
    "BEGIN",
    "SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = current_schema() AND table_name = 'tarvo_schema'",
    "CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT)",
    " FOR UPDATE",
};

const Dialect &dialectOf(bool postgres)
{
    return postgres ? Postgres : Sqlite;
}

// Serialises benches creating the schema of an empty database at once.
constexpr qint64 SchemaLockKey = 0x74617276;

QAtomicInt connectionCount;

} // namespace

ProductionDatabase::ProductionDatabase(const DatabaseLocation &location)
    : m_location(location)
    , m_connectionName(QStringLiteral("tarvo-production-%1").arg(connectionCount.fetchAndAddRelaxed(1)))
{
}

ProductionDatabase::~ProductionDatabase()
{
    disconnect();
}

bool ProductionDatabase::open(QString *error, OpenMode mode)
{
    m_mode = mode;
    disconnect();
    if (!m_location.isValid()) {
        *error = m_location.error();
        return false;
    }
    return connect(error, mode);
}

bool ProductionDatabase::connect(QString *error, OpenMode mode)
{
    const Dialect &dialect = dialectOf(isPostgres());
    const QString driver = QLatin1String(dialect.driver);
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        *error = QStringLiteral("The database driver %1 is not installed (Debian package %2).")
                     .arg(driver, QLatin1String(dialect.driverPackage));
        return false;
    }
    if (!isPostgres() && mode == OpenMode::Existing && !QFileInfo::exists(m_location.filePath())) {
        *error = QStringLiteral("The database %1 does not exist.").arg(m_location.filePath());
        return false;
    }
    QString openError;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_connectionName);
        if (isPostgres()) {
            db.setHostName(m_location.host());
            db.setPort(m_location.port());
            db.setUserName(m_location.user());
            db.setDatabaseName(m_location.databaseName());
            // No password here: libpq reads PGPASSFILE or ~/.pgpass itself.
            // Keepalives find a pulled cable or a suspended server in about
            // half a minute, not the system's two hours.
            db.setConnectOptions(QStringLiteral("connect_timeout=10;application_name=tarvo;keepalives=1;"
                                                "keepalives_idle=10;keepalives_interval=5;keepalives_count=3;"
                                                "tcp_user_timeout=30000;"
                                                // The driver's own probe of a server with
                                                // standard_conforming_strings off would warn on
                                                // the operator's terminal.
                                                "options='-c escape_string_warning=off'"));
        } else {
            db.setDatabaseName(m_location.filePath());
            // Several programmers on one bench share the file: wait for the lock.
            const QString busy = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(LockTimeoutMs);
            db.setConnectOptions(mode == OpenMode::Existing ? busy + QLatin1String(";QSQLITE_OPEN_READONLY") : busy);
        }
        if (!db.open())
            openError = db.lastError().text();
    }
    if (!openError.isEmpty()) {
        *error = faultText(openError);
        disconnect();
        return false;
    }
    if (isPostgres()) {
        // Every session of a bench is bounded: waiting for a lock, running
        // a statement, and (the server's side of a frozen bench) sitting
        // idle in a transaction or on a dead connection.
        QSqlQuery settings = newQuery();
        const QString sql = QStringLiteral("SET lock_timeout = %1; SET statement_timeout = %2; "
                                           "SET idle_in_transaction_session_timeout = %3; SET tcp_keepalives_idle = 10; "
                                           "SET tcp_keepalives_interval = 5; SET tcp_keepalives_count = 3")
                                .arg(LockTimeoutMs)
                                .arg(StatementTimeoutMs)
                                .arg(IdleInTransactionMs)
                            // A reader (a report, the dashboard) cannot change anything by mistake.
                            + (mode == OpenMode::Existing ? QStringLiteral("; SET default_transaction_read_only = on")
                                                          : QString());
        if (!exec(settings, sql)) {
            *error = faultText(m_fault);
            disconnect();
            return false;
        }
    }
    if (!isPostgres() && mode == OpenMode::Create) {
        // Readers do not block the writer, and a commit is on disk when it returns.
        QSqlQuery pragma = newQuery();
        if (!exec(pragma, QStringLiteral("PRAGMA journal_mode = WAL"))
            || !exec(pragma, QStringLiteral("PRAGMA synchronous = FULL"))) {
            *error = faultText(m_fault);
            disconnect();
            return false;
        }
    }
    if (!checkSchema(error, mode)) {
        disconnect();
        return false;
    }
    return true;
}

void ProductionDatabase::disconnect()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

int ProductionDatabase::storedVersion()
{
    QSqlQuery query = newQuery();
    if (!exec(query, QLatin1String(dialectOf(isPostgres()).hasSchemaTable)) || !query.next())
        return -1;
    if (query.value(0).toInt() == 0)
        return 0;
    if (!exec(query, QStringLiteral("SELECT MAX(version) FROM tarvo_schema")) || !query.next())
        return -1;
    // A schema table without a row is not a schema this program made.
    return query.value(0).isNull() ? -2 : query.value(0).toInt();
}

bool ProductionDatabase::checkSchema(QString *error, OpenMode mode)
{
    int version = storedVersion();
    m_version = version;
    if (version == SchemaVersion)
        return true;
    // An older database is read as it is, and upgraded before a bench
    // writes to it.
    if (version >= 1 && version < SchemaVersion) {
        if (mode == OpenMode::Existing)
            return true;
        QString reason;
        if (transactOnce([this](QString *why) { return createSchema(why); }, &reason)) {
            m_version = SchemaVersion;
            return true;
        }
        *error = reason.isEmpty() ? faultText(m_fault) : reason;
        return false;
    }
    if (version == 0 && mode == OpenMode::Create) {
        // Once only: a retry would reconnect and come back here.
        QString reason;
        if (transactOnce([this](QString *why) { return createSchema(why); }, &reason)) {
            m_version = SchemaVersion;
            return true;
        }
        *error = reason.isEmpty() ? faultText(m_fault) : reason;
        return false;
    }
    if (version == -1)
        *error = faultText(m_fault);
    else if (version == 0)
        *error = QStringLiteral("The database %1 holds no production records.").arg(m_location.text());
    else if (version > SchemaVersion)
        *error = QStringLiteral("The database %1 has schema version %2, newer than version %3 that this program knows; "
                                "it is left unchanged: use a newer version of the program.")
                     .arg(m_location.text(), QString::number(version), QString::number(SchemaVersion));
    else
        *error = QStringLiteral("The database %1 has a schema table without a version; it is left unchanged.")
                     .arg(m_location.text());
    return false;
}

bool ProductionDatabase::createSchema(QString *reason)
{
    QSqlQuery query = newQuery();
    if (isPostgres() && !exec(query, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(SchemaLockKey)))
        return false;
    // Another bench may have made it while this one waited for the lock.
    int version = storedVersion();
    if (version < 0)
        return false;
    if (version == SchemaVersion)
        return true;
    if (version > SchemaVersion) {
        *reason = QStringLiteral("The database %1 has schema version %2; this program knows version %3 and leaves it unchanged.")
                      .arg(m_location.text(), QString::number(version), QString::number(SchemaVersion));
        return false;
    }
    if (version == 0) {
        for (const char *statement : SchemaStatements) {
            QString sql = QString::fromLatin1(statement);
            sql.replace(QLatin1String("%1"), QLatin1String(dialectOf(isPostgres()).autoKey));
            sql.replace(QLatin1String("%2"), RecordField::columnDefinitions());
            if (!exec(query, sql))
                return false;
        }
        return RecordTally::createTrigger(*this)
            && exec(query, QStringLiteral("INSERT INTO tarvo_schema (version) VALUES (?)"), {SchemaVersion});
    }
    for (const Upgrade &u : Upgrades) {
        if (u.toVersion <= version)
            continue;
        const bool done = u.work         ? u.work(*this)
                          : u.recordForm ? addRecordFormColumns(u.recordForm)
                                         : exec(query, QString::fromLatin1(u.statement));
        if (!done)
            return false;
    }
    return exec(query, QStringLiteral("UPDATE tarvo_schema SET version = ?"), {SchemaVersion});
}

int ProductionDatabase::recordForm() const
{
    int form = 1;
    for (const Upgrade &u : Upgrades)
        if (u.toVersion <= m_version && u.recordForm > form)
            form = u.recordForm;
    return form;
}

bool ProductionDatabase::addRecordFormColumns(int form)
{
    QSqlQuery query = newQuery();
    for (const RecordField &f : RecordField::all())
        if (f.form == form && !exec(query, QStringLiteral("ALTER TABLE tarvo_records ADD COLUMN ") + f.columnDefinition()))
            return false;
    return true;
}

bool ProductionDatabase::transact(const Work &work, QString *error)
{
    QString reason;
    if (transactOnce(work, &reason))
        return true;
    if (!reason.isEmpty()) {
        *error = reason;
        return false;
    }
    if (m_lockWait) {
        *error = lockWaitText();
        return false;
    }
    if (!reconnect(error))
        return false;
    if (transactOnce(work, &reason))
        return true;
    *error = reason.isEmpty() ? faultText(m_fault) : reason;
    return false;
}

bool ProductionDatabase::execute(const QString &sql, const QVariantList &values, QString *error, int *rows)
{
    for (int attempt = 0;; ++attempt) {
        m_fault.clear();
        {
            QSqlQuery query = newQuery();
            if (exec(query, sql, values)) {
                if (rows)
                    *rows = query.numRowsAffected();
                return true;
            }
        }
        if (attempt > 0 || m_lockWait || !reconnect(error))
            break;
    }
    if (m_lockWait)
        *error = lockWaitText();
    else if (!m_fault.isEmpty())
        *error = faultText(m_fault);
    return false;
}

bool ProductionDatabase::reconnect(QString *error)
{
    // The connection may have been lost: once more on a new one.
    disconnect();
    return connect(error, m_mode);
}

bool ProductionDatabase::transactOnce(const Work &work, QString *reason)
{
    m_fault.clear();
    if (!begin())
        return false;
    if (work(reason))
        return finish(true);
    const QString kept = m_fault;
    const bool lockWait = m_lockWait;
    finish(false);
    m_fault = kept;
    m_lockWait = lockWait;
    return false;
}

bool ProductionDatabase::ping(QString *error)
{
    QSqlQuery query = newQuery();
    if (QSqlDatabase::database(m_connectionName, false).isOpen() && exec(query, QStringLiteral("SELECT 1")))
        return true;
    query = QSqlQuery();
    return reconnect(error);
}

bool ProductionDatabase::begin()
{
    QSqlQuery query = newQuery();
    return exec(query, QLatin1String(dialectOf(isPostgres()).begin));
}

bool ProductionDatabase::finish(bool commit)
{
    QSqlQuery query = newQuery();
    return exec(query, commit ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
}

bool ProductionDatabase::exec(QSqlQuery &query, const QString &sql, const QVariantList &values)
{
    // The values go in as literals the driver escapes, not as a prepared
    // statement: on PostgreSQL that saves the round trips of PREPARE and
    // DEALLOCATE, and a statement never has to be freed in a transaction
    // that has already failed.
    QString text;
    text.reserve(sql.size() + 16 * values.size());
    qsizetype next = 0;
    QSqlDriver *driver = QSqlDatabase::database(m_connectionName, false).driver();
    for (const QChar c : sql) {
        if (c != QLatin1Char('?') || next >= values.size()) {
            text += c;
            continue;
        }
        const QVariant &value = values.at(next++);
        QSqlField field(QString(), value.metaType());
        field.setValue(value);
        text += driver->formatValue(field);
    }
    m_lockWait = false;
    if (query.exec(text))
        return true;
    m_fault = query.lastError().text().trimmed();
    // PostgreSQL: lock_not_available, query_canceled (a time-out);
    // SQLite: busy, locked.
    static const QStringList lockWaits{QStringLiteral("55P03"), QStringLiteral("57014"), QStringLiteral("5"),
                                       QStringLiteral("6")};
    m_lockWait = lockWaits.contains(query.lastError().nativeErrorCode());
    return false;
}

QSqlQuery ProductionDatabase::newQuery() const
{
    return QSqlQuery(QSqlDatabase::database(m_connectionName, false));
}

QString ProductionDatabase::nowMillis() const
{
    return QLatin1String(dialectOf(isPostgres()).nowMillis);
}

QString ProductionDatabase::forUpdate() const
{
    return QLatin1String(dialectOf(isPostgres()).forUpdate);
}

QString ProductionDatabase::lockWaitText() const
{
    return QStringLiteral("The database %1 is held by another bench: no answer within %2 s (a bench may be frozen "
                          "in its work, or its cable pulled). Nothing was sent to the device.")
        .arg(m_location.text(), QString::number(LockTimeoutMs / 1000));
}

QString ProductionDatabase::faultText(const QString &what) const
{
    return QStringLiteral("The database %1 cannot be used: %2").arg(m_location.text(), what);
}
