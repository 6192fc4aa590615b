#pragma once

#include "DatabaseLocation.h"

#include <QString>
#include <QVariantList>
#include <functional>

class QSqlQuery;

// One connection to the production database and its schema. The schema is
// created on first use and carries its version in `tarvo_schema`; an older
// version is upgraded when a bench first writes to it; a
// database of a newer version than this program knows is refused and never
// touched. Work that writes runs in one transaction that holds the write
// lock from its start (BEGIN IMMEDIATE on SQLite, a row lock the work takes
// with FOR UPDATE on PostgreSQL); a transaction that fails on the driver is
// tried once more on a new connection before the error goes to the caller.
class ProductionDatabase
{
public:
    // 2: numbers written and retired, the record's id; 3: the record's fields
    // of form 2 (version, fuse value, scanned code); 4: those of form 3 (job,
    // operator, lot) and the report's indexes; 5: the benches' rows
    // (tarvo_benches) and the index of the retired numbers; 6: the records
    // counted by day (tarvo_record_counts, RecordTally).
    static constexpr int SchemaVersion = 6;
    static constexpr int BenchesVersion = 5;

    enum class OpenMode {
        // Creates the SQLite file and the schema when missing.
        Create,
        // Only reads: a missing SQLite file is an error, the schema is
        // neither created nor changed.
        Existing,
    };

    // How long a statement waits for a lock another bench holds (SQLite's
    // busy time-out, PostgreSQL's lock_timeout): a bench frozen inside its
    // transaction stops the others before their device, never for long.
    static constexpr int LockTimeoutMs = 5000;
    // PostgreSQL: the longest statement, and the longest a session may sit
    // idle inside a transaction before the server ends it (its locks go).
    static constexpr int StatementTimeoutMs = 30000;
    static constexpr int IdleInTransactionMs = 15000;

    explicit ProductionDatabase(const DatabaseLocation &location);
    ~ProductionDatabase();
    ProductionDatabase(const ProductionDatabase &) = delete;
    ProductionDatabase &operator=(const ProductionDatabase &) = delete;

    // Connects and checks (or creates) the schema; false with the driver's
    // text, or why the schema is refused.
    bool open(QString *error, OpenMode mode = OpenMode::Create);
    bool isPostgres() const { return m_location.kind() == DatabaseLocation::Kind::Postgres; }
    const DatabaseLocation &location() const { return m_location; }
    // The schema's version once open: older than SchemaVersion only when
    // opened to read.
    int schemaVersion() const { return m_version; }
    // The form of the records its table holds (RecordField): older than
    // the current one only in a database opened to read.
    int recordForm() const;

    // The work of one transaction: statements through exec(); it returns
    // false to roll back. When it refuses for a reason of its own (not a
    // failed statement) it says why in *reason, and is not tried again.
    using Work = std::function<bool(QString *reason)>;
    bool transact(const Work &work, QString *error);
    // One statement, committed on its own (one round trip), tried once
    // more on a new connection like transact(). rows: how many it changed.
    bool execute(const QString &sql, const QVariantList &values, QString *error, int *rows = nullptr);
    // Checks that the server still answers, reconnecting once if not.
    bool ping(QString *error);

    // Executes sql with each ? replaced by the next of values (each a
    // literal escaped by the driver). On a driver error
    // returns false and keeps the text for transact() and lastFault().
    bool exec(QSqlQuery &query, const QString &sql, const QVariantList &values = {});
    QSqlQuery newQuery() const;
    QString lastFault() const { return m_fault; }

    // An SQL expression for the server's clock in milliseconds since 1970:
    // reservations of all benches are timed by one clock.
    QString nowMillis() const;
    // What a SELECT that locks the rows it reads ends with (" FOR UPDATE";
    // nothing on SQLite, whose transactions lock the whole file).
    QString forUpdate() const;
    // "The database LOCATION cannot be used: " and the driver's text.
    QString faultText(const QString &driverText) const;
    // Why a statement gave up waiting for a lock another bench holds.
    QString lockWaitText() const;

private:
    bool connect(QString *error, OpenMode mode);
    void disconnect();
    bool reconnect(QString *error);
    bool checkSchema(QString *error, OpenMode mode);
    // Creates the schema in an empty database, or upgrades an older one.
    bool createSchema(QString *reason);
    // The columns of the record's fields of that form (an upgrade's step).
    bool addRecordFormColumns(int form);
    // The version stored, 0 when the database has no schema yet, -1 on error.
    int storedVersion();
    // One attempt: false with *reason empty after a failed statement.
    bool transactOnce(const Work &work, QString *reason);
    bool begin();
    bool finish(bool commit);

    DatabaseLocation m_location;
    QString m_connectionName;
    QString m_fault;
    // The last failed statement waited too long for a lock: trying again
    // on a new connection would only wait again.
    bool m_lockWait = false;
    OpenMode m_mode = OpenMode::Create;
    int m_version = 0;
};
