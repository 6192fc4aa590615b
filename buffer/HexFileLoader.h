#pragma once

#include "MemoryBuffer.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// Reads an Intel HEX file into the buffer: fills it with FFh, then stores the
// records line by line. Shows nothing; the result says what happened.
//
// The reading is streamed in fixed chunks and keeps at most the first
// MaxKeptLine characters of a line (no record needs more), so no input can
// make it take more memory than that.
class HexFileLoader
{
public:
    // ":" count(2) address(4) type(2) 255 data bytes(510) checksum(2), plus
    // room for trailing blanks.
    static constexpr int LongestRecord = 1 + 2 + 4 + 2 + 510 + 2;
    static constexpr int MaxKeptLine = LongestRecord + 64;

    struct Result
    {
        // False when the file could not be opened; the buffer is untouched.
        bool opened = false;
        // A line not starting with ":", or data beyond the 64 KiB buffer,
        // stopped the reading; the records before it stay stored.
        bool formatError = false;
        int formatErrorLine = 0;
        // Reading failed after the file was opened.
        bool readError = false;
        QString readErrorText;
        // Records that were stored although their checksum is wrong, a
        // character is not a hex digit, or the line is shorter than its
        // count needs (or an address record has the wrong count).
        int damagedCount = 0;
        int firstDamagedLine = 0;
        // A data record was handled, so BufferEnd was set.
        bool dataStored = false;
        // Line count as far as reading went (1-based line of the last line seen).
        int lines = 0;
    };

    // Opens path itself; anything other than a readable regular file counts
    // as not opened.
    static Result loadFile(const QString &path, MemoryBuffer &buffer);
    // Reads an already open device to its end.
    static Result load(QIODevice &device, MemoryBuffer &buffer);
    static Result load(const QByteArray &bytes, MemoryBuffer &buffer);
};
