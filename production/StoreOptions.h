#pragma once

#include "SerialFormat.h"

#include <QString>
#include <optional>

// What the user chose for the stores of a production run. Empty or absent
// means not wanted.
struct StoreOptions
{
    // --log FILE (or TARVO_LOG for the window).
    QString logFile;
    // --serial ADDR:START[:STEP] with --serial-format and --serial-bytes.
    std::optional<SerialFormat> serial;
    // --serial-state FILE.
    QString serialStateFile;
    // --db LOCATION (or TARVO_DB for the window): records, and with
    // serialSequence the numbers, in a database.
    QString database;
    // --serial-sequence NAME: the product's numbers in the database.
    QString serialSequence;
};
