#pragma once

#include "SerialSource.h"
#include "SerialState.h"

#include <functional>

// Serial numbers kept in a state file, so that a run continues after a
// restart and processes sharing the file never hand out one number twice.
// Every step reads the state, changes it and writes it back whole (a
// temporary file, fsync, rename) while holding an exclusive lock on
// FILE.lock. A missing state file starts at the first number.
class SerialStateFile : public SerialSource
{
public:
    SerialStateFile(const QString &path, quint64 first, quint64 step);

    bool open(QString *error) override;
    std::optional<quint64> peek(QString *error) override;
    std::optional<quint64> reserve(QString *error) override;
    bool commit(quint64 number, QString *error) override;
    bool release(quint64 number, QString *error) override;
    QString name() const override { return m_path; }

private:
    // Runs change on the state under the lock; writes the state back when
    // change returns true. False with error when the file cannot be read,
    // parsed or written, or change set error.
    bool locked(const std::function<bool(SerialState &state, QString *error)> &change, QString *error);

    QString m_path;
    quint64 m_first;
    quint64 m_step;
    BenchIdentity m_bench;
};
