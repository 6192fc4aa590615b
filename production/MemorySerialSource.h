#pragma once

#include "SerialSource.h"
#include "SerialState.h"

// Serial numbers for one process only, starting afresh each run: what
// --serial gives without a state file.
class MemorySerialSource : public SerialSource
{
public:
    MemorySerialSource(quint64 first, quint64 step);

    bool open(QString *) override { return true; }
    std::optional<quint64> peek(QString *error) override;
    std::optional<quint64> reserve(QString *error) override;
    bool commit(quint64 number, QString *error) override;
    bool release(quint64 number, QString *error) override;
    bool markWritten(quint64 number, QString *error) override;
    bool retire(quint64 number, const QString &reason, QString *error) override;
    QString name() const override { return QString(); }

private:
    SerialState m_state;
};
