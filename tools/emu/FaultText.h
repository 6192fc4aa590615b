#pragma once

#include "EmulatorFault.h"

#include <QString>
#include <optional>

// Faults written as text, for the command line of tarvo-emu:
//   EVENT[:CC][@N]=ACTION[:ARG]
// EVENT: bytes-sent, detection, detection-ack, reply, block-request,
//        block-received, read-block, final, fuse, lock
// CC:    command code as two hex digits (only frames of that command)
// N:     block index, or byte count for bytes-sent
// ACTION[:ARG]: silence, hang-up, delay:MS, garbage:HH, nak[:REPORT],
//        wrong-checksum, non-hex[:OFFSET], wrong-data[:OFFSET], value:HH
// Examples: "reply:05=nak", "read-block@3=wrong-checksum",
//           "bytes-sent@100=hang-up", "fuse=value:00".
namespace FaultText {

std::optional<EmulatorFault> parse(const QString &text, QString *error = nullptr);

} // namespace FaultText
