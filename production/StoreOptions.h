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
};
