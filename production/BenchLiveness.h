#pragma once

#include "BenchBoard.h"
#include "RunListener.h"

#include <QString>
#include <QTimer>

class DeviceRecord;
class ProductionDatabase;

// This bench's row in tarvo_benches, kept as its state changes: waiting
// for the operator, running (what and how many devices so far), passed or
// failed (the record's transaction writes that row: SqlRecordStore asks
// afterRecord), stopped. It follows the runner for the command started
// and the step that failed.
//
// The devices never wait for it: a write of the row alone goes once, on
// the connection as it is (no reconnection), on SQLite waiting at most
// LockWaitMs for another bench's lock; a failure is kept in lastError()
// and nothing else happens. A bench that is not running refreshes its row
// every BenchBoard::RefreshMs, from the event loop, so that the reader can
// tell a waiting bench from a gone one; a running one stays silent until
// its record. Waiting after a device is written only when the operator has
// not started the next device within WaitingAfterMs, so that a line that
// keeps going pays nothing for it and the result stays on the board a moment.
class BenchLiveness : public RunListener
{
public:
    static constexpr int LockWaitMs = 250;
    static constexpr int WaitingAfterMs = 2000;

    explicit BenchLiveness(ProductionDatabase &database);
    // A bench that said anything says it stopped.
    ~BenchLiveness() override;
    BenchLiveness(const BenchLiveness &) = delete;
    BenchLiveness &operator=(const BenchLiveness &) = delete;

    // The port as the user named it. A bench moved to another port leaves
    // its old row stopped.
    void setPort(const QString &portEntry);
    void setJob(const QString &job, const QString &lot);

    // Waiting for the operator's go.
    void waiting();
    // A device's commands start (blank-separated names): one device more.
    void deviceStarted(const QString &commands);
    // The run ended: the row says stopped (and is refreshed no more).
    void stopped();
    // The row that goes with the record, in its transaction: passed, or
    // failed with the step that failed (the record's last text when no
    // step did). The state is this row's from now on.
    BenchRow afterRecord(const DeviceRecord &record);
    // The row as it stands.
    const BenchRow &row() const { return m_row; }
    qint64 pid() const { return m_pid; }
    QString lastError() const { return m_error; }

    // The runner. A command armed, or passed and armed again, waits for
    // the operator (unless tarvo-cli's device is under way); a run started
    // is the window's device; a step that failed is the device's failure.
    void commandArmed(const DeviceCommand &) override;
    void runStarted(const DeviceCommand &command) override;
    void stepEnded(const RunStep &step, const StepEnd &end) override;
    void runEnded(const RunEnd &end) override;

private:
    void setState(const char *state);
    // The row alone, written once, never waited for long.
    void write();
    void write(const BenchRow &row);
    void refreshAfter(int ms);

    ProductionDatabase &m_database;
    BenchRow m_row;
    qint64 m_pid;
    // A failure of the device under way, not yet in a record.
    QString m_failedStep;
    QString m_failedText;
    bool m_written = false;
    QString m_error;
    QTimer m_refresh;
};
