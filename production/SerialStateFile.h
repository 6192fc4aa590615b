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
    // format: the form the numbers are made for. A file made for another
    // form (address, start, step, form or width) is refused; a file of an
    // older version, which does not name its form, takes this one.
    SerialStateFile(const QString &path, const SerialFormat &format);

    bool open(QString *error) override;
    std::optional<quint64> peek(QString *error) override;
    std::optional<quint64> reserve(QString *error) override;
    bool commit(quint64 number, QString *error) override;
    bool release(quint64 number, QString *error) override;
    bool markWritten(quint64 number, QString *error) override;
    bool retire(quint64 number, const QString &reason, QString *error) override;
    // The numbers retired so far, for the report.
    std::optional<QList<SerialState::Retired>> retired(QString *error);
    QString name() const override { return m_path; }

private:
    // Runs change on the state under the lock; writes the state back when
    // change returns true. False with error when the file cannot be read,
    // parsed or written, or change set error.
    bool locked(const std::function<bool(SerialState &state, QString *error)> &change, QString *error);

    QString m_path;
    SerialFormat m_format;
    BenchIdentity m_bench;
};
