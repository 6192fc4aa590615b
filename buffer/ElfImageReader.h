#pragma once

#include "ImageRead.h"

#include <QByteArray>

// An ELF file as a linker or objcopy writes it (through libelf): the bytes
// of its loadable segments at their physical (load) address, which for an
// AVR program is where .data's initial values sit in flash. A file without
// program headers (objcopy from HEX writes none) gives its allocated
// sections with content instead.
//
// AVR files also hold RAM, EEPROM, fuse, lock and signature contents at
// 800000H and above; they are no flash and are left out. Anything else
// beyond 64 KiB, a segment past the end of the file, an unlinked object
// (with relocations) or a file with nothing to load is refused with the
// offset in the file that says so.
class ElfImageReader
{
public:
    static constexpr uint32_t AvrOtherSpaces = 0x800000;

    static ImageRead read(const QByteArray &bytes, MemoryBuffer &buffer);
};
