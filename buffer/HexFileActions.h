#pragma once

#include "MemoryBuffer.h"
#include "Prompter.h"
#include "SelectionState.h"

#include <QString>

// File > Open and File > Save without the window: the window shows the
// dialogs, calls these with the chosen path and applies the outcome to its
// controls. Every message box goes through the Prompter, in the order the
// operator sees them.
namespace HexFileActions {

// The texts the operator sees, in one place.
namespace Text {
inline const QString OpenError = QStringLiteral("Open File Error!!!");
inline const QString FormatError = QStringLiteral("Format Intel-Hex...Error");
inline const QString EndOverDevice = QStringLiteral("End Buffer Over End Device");
inline const QString Overwrite = QStringLiteral("Do you want to overwrite?");
// "Checksum Or Format Error In Line 7" for one damaged line;
// "Checksum Or Format Error In 3 Lines, First In Line 12" for several.
QString damagedRecords(int firstLine, int count);
} // namespace Text

// What the window must change after a load. Fields not flagged stay as
// they are.
struct OpenOutcome
{
    // False: "Open File Error!!!" was shown and nothing changed.
    bool opened = false;
    // Buffer_End := bufferEndText ("0032H"); false when no data record was read.
    bool showBufferEnd = false;
    QString bufferEndText;
    // The load reached its end (also after a format error); false after a
    // read error, when FileLoaded, the menu items and Buffer_Sum stay.
    bool finished = false;
    // Enable ProgramDevice, VerifyDevice and AutoProgram where disabled.
    bool enableBufferCommands = false;
    // Buffer_Sum := bufferSumText when finished.
    QString bufferSumText;
    // Reading stopped at a line that is not a record (the records before it
    // are loaded); records with a wrong checksum, bad characters or missing
    // data were loaded as they stand. Both were reported to the operator.
    bool formatError = false;
    int damagedCount = 0;
};

// The name SelectFileName shows: the path without its folders.
QString bareFileName(const QString &path);

// Loads path into buffer (sets BufferEnd and FileLoaded) and shows the
// format error, read error, damaged-record and length boxes.
OpenOutcome OpenHexFile(const QString &path, MemoryBuffer &buffer, const SelectionState &selection,
                        Prompter &prompter);

// Writes the buffer to path after asking before an existing file is
// replaced. The new content goes to a temporary file in the same folder
// that replaces the old one only once complete, so a failure leaves the old
// file as it was; the error box then shows the system's text ("No space
// left on device", "File too large"). A device file is written into, never
// replaced. An empty path (dialog cancelled) writes
// nothing. Returns true when the file was written.
bool SaveHexFile(const QString &path, const MemoryBuffer &buffer, const SelectionState &selection,
                 Prompter &prompter);

} // namespace HexFileActions
