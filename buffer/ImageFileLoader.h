#pragma once

#include "ImageRead.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Reads an image file of any kind the program knows into the buffer,
// recognising the kind from the content: Intel HEX (":"), Motorola S-record
// ("S0".."S9") or ELF (its magic). A raw binary has no mark of its own, so
// it is read only when the caller says so with the address it starts at.
//
// Intel HEX goes through HexFileLoader; here a format error or a damaged
// record refuses the file (the window's File > Open keeps its own rules).
class ImageFileLoader
{
public:
    enum class Kind { Unknown, IntelHex, SRecord, Elf, Binary };

    // Files larger than this are no image for a 64 KiB buffer, whatever
    // debugging information an ELF file carries.
    static constexpr qint64 LargestFile = 64 * 1024 * 1024;

    struct Result
    {
        // False when the file could not be opened or read; openError says why.
        bool opened = false;
        QString openError;
        Kind kind = Kind::Unknown;
        ImageRead read;
        bool ok() const { return opened && read.ok(); }
    };

    // The kind the content shows (Unknown for anything else).
    static Kind recognise(const QByteArray &content);
    // "Intel HEX", "S-record", "ELF", "raw binary".
    static QString kindName(Kind kind);

    // binaryOffset: the file is a raw binary stored from there.
    static Result loadFile(const QString &path, MemoryBuffer &buffer, std::optional<uint32_t> binaryOffset = {});
    static Result load(const QByteArray &content, MemoryBuffer &buffer, std::optional<uint32_t> binaryOffset = {});
};
