#pragma once

#include <QString>

// The catalogue as tarvo-cli --list-devices prints it: one device a line
// with its flash size, lock bits, fuses and type code.
namespace DeviceListing {

QString text();

} // namespace DeviceListing
