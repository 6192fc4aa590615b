#pragma once

#include <QList>
#include <QString>
#include <QVariantList>

class ProductionDatabase;

// One bench of the line as its row in `tarvo_benches` says: a bench is a
// port of a host, whichever process drives it now.
struct BenchRow
{
    QString host;
    QString portEntry;
    // "waiting" (for the operator's go), "running", "passed", "failed",
    // "stopped": BenchBoard's state names.
    QString state;
    // While running: what runs (the commands, blank-separated).
    QString command;
    // The devices of the run so far, the one running included.
    qint64 devices = 0;
    QString job;
    QString lot;
    // The last failure of the run: the command that failed and its text;
    // empty while none failed.
    QString step;
    QString text;
    // When the bench last said anything, in ms since 1970 on the
    // database's clock.
    qint64 changedMs = 0;
    // Decided by the reader: nothing heard for longer than the state allows.
    bool gone = false;

    bool operator==(const BenchRow &) const = default;
};

// The benches of the line, one row each, as the benches keep them
// (BenchLiveness). Which bench is gone is decided here, on the reader's
// side, from how long a row has been quiet: a bench that is not running
// refreshes its row every RefreshMs, and a running bench stays silent
// until its device ends (its exchanges never wait for the database).
class BenchBoard
{
public:
    static constexpr const char *Waiting = "waiting";
    static constexpr const char *Running = "running";
    static constexpr const char *Passed = "passed";
    static constexpr const char *Failed = "failed";
    static constexpr const char *Stopped = "stopped";

    // How often a bench that is not running refreshes its row.
    static constexpr qint64 RefreshMs = 30000;
    // Gone when quiet this long: four refreshes missed; a running bench
    // after the longest a device's commands may take.
    static constexpr qint64 QuietGoneMs = 4 * RefreshMs;
    static constexpr qint64 RunningGoneMs = 15 * 60 * 1000;

    explicit BenchBoard(ProductionDatabase &database);

    // Every bench, by host and port, gone or not; a stopped bench is never
    // gone (it said so). False with the driver's text.
    bool benches(QList<BenchRow> *rows, QString *error);

    // Whether a row last changed at row.changedMs is gone at nowMs.
    static bool isGone(const BenchRow &row, qint64 nowMs);

    // The row as it stands, inserted or replacing the bench's row, timed
    // by the database's clock: one statement, in whatever transaction the
    // caller has open. pid: the process that writes it.
    static bool write(ProductionDatabase &database, const BenchRow &row, qint64 pid);
    // That statement, with a ? for each of its values. alone: written
    // outside a record's transaction, where PostgreSQL waits for no other
    // session's lock longer than BenchLiveness::LockWaitMs nor for the
    // commit to reach the disk.
    static QString writeStatement(const ProductionDatabase &database, bool alone = false);
    static QVariantList writeValues(const BenchRow &row, qint64 pid);

private:
    ProductionDatabase &m_database;
};
