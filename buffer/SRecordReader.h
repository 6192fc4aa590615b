#pragma once

#include "ImageRead.h"

#include <QByteArray>

// Reads a Motorola S-record file into the buffer. One record a line:
//   S type count address data checksum
// with count the bytes of address, data and checksum, and the checksum the
// ones' complement of the low byte of their sum. S0 is a header, S1/S2/S3
// carry data at a 16/24/32-bit address, S5/S6 count the data records before
// them, S7/S8/S9 end the file (their start address means nothing to a
// programmer).
//
// Unlike the window's Intel HEX rules nothing damaged is stored as it
// stands: a bad character, a wrong count or checksum, data beyond 64 KiB,
// a count record that disagrees or a record after the end refuses the file
// with the line. The end record itself may be missing: some tools write
// none when the file has no start address.
class SRecordReader
{
public:
    static ImageRead read(const QByteArray &text, MemoryBuffer &buffer);
};
