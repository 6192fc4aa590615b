#pragma once

#include "StructureDevice.h"

// The device the window works with: a copy of the chosen catalogue row, and
// whether it may be used (a row refused by the firmware rule stays copied).
struct SelectionState
{
    StructureDevice SelectedDevice;
    bool DeviceSelected = false;
};
