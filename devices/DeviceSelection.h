#pragma once

#include "DeviceMenuState.h"
#include "SelectionState.h"

#include <QString>
#include <cstdint>

class Prompter;
class SelectionView;

// What choosing a row of the device list does. compute() is the whole rule
// set without side effects; apply() plays a computed outcome onto the window
// in its fixed order: fields, checksum, menu, adapter notice (then focus on
// Reset), refusal, length warning, focus on Connect.
class DeviceSelection
{
public:
    struct Input
    {
        // Row of the device list, or -1 while none is selected.
        int index = -1;
        SelectionState state;
        bool FileLoaded = false;
        uint16_t BufferEnd = 511;
        // The programmer's firmware date the detection read; empty while none
        // has been found.
        QString biosCode;
        DeviceMenuState menu;
    };

    struct Outcome
    {
        // A row was chosen: show the three fields below.
        bool rowChosen = false;
        QString algorithm;
        QString vpp;
        QString deviceEnd;

        SelectionState state;
        // Last address of the checksum range.
        uint16_t checksumEnd = 0;
        // The menu once the device's own rules have run.
        DeviceMenuState menu;
        bool adapterNotice = false;
        // Text of the refusal error box; empty when the device is accepted.
        QString refusal;
        // The menu after the firmware rule: all disabled on a refusal.
        DeviceMenuState finalMenu;
        // Text of the length warning box; empty when the file fits.
        QString lengthWarning;
    };

    static Outcome compute(const Input &input);
    static void apply(const Outcome &outcome, SelectionView &view, Prompter &prompter);

    // Buffer_Sum text: four upper-case hex digits and "H".
    static QString checksumText(uint16_t sum);

    static const QString AdapterDevice;
    static const QString RefusedAlgorithm;
    static const QString RefusedBiosCode;
    static const QString RefusalPrefix;
    static const QString LengthWarningText;
};
