#pragma once

#include "StructureDevice.h"

#include <QStringList>

// The fixed catalogue of the 18 supported devices, in the order of the
// device list; the list index is the row index.
namespace DeviceCatalogue {

constexpr int Count = 18;

const StructureDevice &row(int index);
// Row index of a device name (exact match), -1 when there is none.
int indexOf(const QString &name);
QStringList names();

} // namespace DeviceCatalogue
