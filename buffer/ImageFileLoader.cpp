#include "ImageFileLoader.h"

#include "BinaryImageReader.h"
#include "ElfImageReader.h"
#include "HexFileLoader.h"
#include "SRecordReader.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QByteArray ElfMagic("\x7F" "ELF", 4);

// The Intel HEX loader's result as a refusal: anything it would store as
// it stands or stop at is damage here.
ImageRead fromHex(const HexFileLoader::Result &hex)
{
    ImageRead read;
    read.dataStored = hex.dataStored;
    if (hex.readError)
        read.error = hex.readErrorText;
    else if (hex.formatError)
        read.error = QStringLiteral("line %1: not a record, or data beyond the 64 KiB buffer").arg(hex.formatErrorLine);
    else if (hex.damagedCount == 1)
        read.error = QStringLiteral("line %1: wrong checksum or format").arg(hex.firstDamagedLine);
    else if (hex.damagedCount > 1)
        read.error = QStringLiteral("line %1: wrong checksum or format (%2 damaged lines)")
                         .arg(hex.firstDamagedLine)
                         .arg(hex.damagedCount);
    return read;
}

} // namespace

ImageFileLoader::Kind ImageFileLoader::recognise(const QByteArray &content)
{
    if (content.startsWith(ElfMagic))
        return Kind::Elf;
    // Text files: their first character that is not a blank or line end.
    for (qsizetype i = 0; i < content.size(); ++i) {
        const char c = content.at(i);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        if (c == ':')
            return Kind::IntelHex;
        if (c == 'S' && i + 1 < content.size() && content.at(i + 1) >= '0' && content.at(i + 1) <= '9')
            return Kind::SRecord;
        break;
    }
    return Kind::Unknown;
}

QString ImageFileLoader::kindName(Kind kind)
{
    switch (kind) {
    case Kind::IntelHex:
        return QStringLiteral("Intel HEX");
    case Kind::SRecord:
        return QStringLiteral("S-record");
    case Kind::Elf:
        return QStringLiteral("ELF");
    case Kind::Binary:
        return QStringLiteral("raw binary");
    case Kind::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

ImageFileLoader::Result ImageFileLoader::load(const QByteArray &content, MemoryBuffer &buffer,
                                              std::optional<uint32_t> binaryOffset)
{
    Result result;
    result.opened = true;
    result.kind = recognise(content);
    if (binaryOffset) {
        // The header of an ELF file is no part of any image.
        if (result.kind == Kind::Elf) {
            result.read.error = QStringLiteral("offset 0: an ELF file, not a raw binary");
            return result;
        }
        result.kind = Kind::Binary;
    }
    switch (result.kind) {
    case Kind::IntelHex:
        result.read = fromHex(HexFileLoader::load(content, buffer));
        break;
    case Kind::SRecord:
        result.read = SRecordReader::read(content, buffer);
        break;
    case Kind::Elf:
        result.read = ElfImageReader::read(content, buffer);
        break;
    case Kind::Binary:
        result.read = BinaryImageReader::read(content, *binaryOffset, buffer);
        break;
    case Kind::Unknown:
        result.read.error = QStringLiteral("offset 0: neither Intel HEX nor an S-record nor an ELF file");
        break;
    }
    return result;
}

ImageFileLoader::Result ImageFileLoader::loadFile(const QString &path, MemoryBuffer &buffer,
                                                  std::optional<uint32_t> binaryOffset)
{
    Result result;
    // A folder, a pipe or a device file is no image; opening a pipe would
    // also block until someone writes to it.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        result.openError = QStringLiteral("not a regular file");
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.openError = file.errorString();
        return result;
    }
    if (file.size() > LargestFile) {
        result.openError = QStringLiteral("larger than %1 MiB: no image for a 64 KiB buffer").arg(LargestFile >> 20);
        return result;
    }
    const QByteArray content = file.read(LargestFile + 1);
    if (file.error() != QFileDevice::NoError) {
        result.openError = file.errorString();
        return result;
    }
    return load(content, buffer, binaryOffset);
}
