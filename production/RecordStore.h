#pragma once

#include <QString>

class BenchLiveness;
class DeviceRecord;

// Where the production records go. Records are only ever appended; several
// processes may append to one store at once.
class RecordStore
{
public:
    virtual ~RecordStore() = default;

    // Makes sure records can be written, before the first device: the
    // system's text in error otherwise.
    virtual bool open(QString *error) = 0;
    // Checks again before each device that a record can still be written
    // (a database server still answers), so that no device is programmed
    // without its record; the system's text in error otherwise.
    virtual bool ready(QString *) { return true; }
    // The record written whole and durable when it returns true; the
    // system's text in error otherwise.
    virtual bool append(const DeviceRecord &record, QString *error) = 0;
    // What the user named ("production.csv"), for messages.
    virtual QString name() const = 0;
    // The bench's row on the line's board, when the store keeps one (a
    // database): its state goes there, and append writes it with the
    // record. nullptr for a file.
    virtual BenchLiveness *liveness() { return nullptr; }
};
