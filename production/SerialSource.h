#pragma once

#include "SerialFormat.h"

#include <QString>
#include <optional>

// Where serial numbers come from. A number is reserved for a device before
// its program step, marked written just before its first byte goes to the
// device, committed (used up) after the device passed, and released after
// a failure so that the next device gets it, or retired (never handed out
// again) when it may be in a device that did not pass. Sources shared
// between processes never reserve one number twice.
class SerialSource
{
public:
    virtual ~SerialSource() = default;

    // Makes sure the source can be read and written, before the first
    // device; the system's text in error otherwise.
    virtual bool open(QString *error) = 0;
    // The number the next reserve would give, reserving nothing: for the
    // checks before the port opens.
    virtual std::optional<quint64> peek(QString *error) = 0;
    virtual std::optional<quint64> reserve(QString *error) = 0;
    virtual bool commit(quint64 number, QString *error) = 0;
    virtual bool release(quint64 number, QString *error) = 0;
    virtual bool markWritten(quint64 number, QString *error) = 0;
    virtual bool retire(quint64 number, const QString &reason, QString *error) = 0;
    // What the user named, for messages.
    virtual QString name() const = 0;
    // The form a source keeps with its numbers, once open, so that every
    // bench writes the same form; nothing when the user's options decide.
    virtual std::optional<SerialFormat> keptFormat() const { return std::nullopt; }
};
