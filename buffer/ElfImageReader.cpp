#include "ElfImageReader.h"

#include <QList>

#include <gelf.h>
#include <libelf.h>

#include <memory>

namespace {

// One run of bytes to store: where it is in the file, where it goes, and
// the header that says so (for the message).
struct Piece
{
    uint64_t offset;
    uint64_t size;
    uint64_t address;
    uint64_t headerOffset;
    QString what;
};

QString offsetText(uint64_t offset)
{
    return offset == 0 ? QStringLiteral("offset 0") : QStringLiteral("offset 0x%1").arg(offset, 0, 16);
}

QString libelfError()
{
    return QString::fromUtf8(elf_errmsg(-1));
}

struct ElfCloser
{
    void operator()(Elf *elf) const { elf_end(elf); }
};

} // namespace

ImageRead ElfImageReader::read(const QByteArray &bytes, MemoryBuffer &buffer)
{
    ImageRead result;
    buffer.fill(0xFF);
    const auto fail = [&](uint64_t offset, const QString &why) {
        result.error = offsetText(offset) + QLatin1String(": ") + why;
        return result;
    };

    static const bool versionKnown = elf_version(EV_CURRENT) != EV_NONE;
    if (!versionKnown)
        return fail(0, QStringLiteral("libelf: ") + libelfError());
    // libelf reads from a writable copy; ours stays as it was.
    QByteArray image = bytes;
    image.detach();
    const std::unique_ptr<Elf, ElfCloser> elf(elf_memory(image.data(), size_t(image.size())));
    if (!elf || elf_kind(elf.get()) != ELF_K_ELF)
        return fail(0, QStringLiteral("not an ELF file"));
    GElf_Ehdr header;
    if (!gelf_getehdr(elf.get(), &header))
        return fail(0, QStringLiteral("damaged ELF header: ") + libelfError());

    QList<Piece> pieces;
    size_t segments = 0;
    if (elf_getphdrnum(elf.get(), &segments) != 0)
        return fail(header.e_phoff, QStringLiteral("damaged program headers: ") + libelfError());
    for (size_t i = 0; i < segments; ++i) {
        const uint64_t at = header.e_phoff + i * header.e_phentsize;
        GElf_Phdr segment;
        if (!gelf_getphdr(elf.get(), int(i), &segment))
            return fail(at, QStringLiteral("damaged program header: ") + libelfError());
        if (segment.p_type == PT_LOAD && segment.p_filesz > 0)
            pieces.append({segment.p_offset, segment.p_filesz, segment.p_paddr, at,
                           QStringLiteral("segment %1").arg(i)});
    }

    bool relocations = false;
    uint64_t relocationAt = 0;
    QList<Piece> sections;
    for (Elf_Scn *section = elf_nextscn(elf.get(), nullptr); section; section = elf_nextscn(elf.get(), section)) {
        const size_t index = elf_ndxscn(section);
        const uint64_t at = header.e_shoff + index * header.e_shentsize;
        GElf_Shdr sh;
        if (!gelf_getshdr(section, &sh))
            return fail(at, QStringLiteral("damaged section header: ") + libelfError());
        if ((sh.sh_type == SHT_REL || sh.sh_type == SHT_RELA) && !relocations) {
            relocations = true;
            relocationAt = at;
        }
        if (sh.sh_type == SHT_PROGBITS && (sh.sh_flags & SHF_ALLOC) && sh.sh_size > 0)
            sections.append({sh.sh_offset, sh.sh_size, sh.sh_addr, at, QStringLiteral("section %1").arg(index)});
    }
    if (header.e_type == ET_REL && relocations)
        return fail(relocationAt, QStringLiteral("an object file that still has relocations: link it first"));
    if (pieces.isEmpty())
        pieces = sections;
    if (pieces.isEmpty())
        return fail(0, QStringLiteral("the file holds nothing to load"));

    for (const Piece &p : pieces) {
        if (p.offset > uint64_t(bytes.size()) || p.size > uint64_t(bytes.size()) - p.offset)
            return fail(p.headerOffset, QStringLiteral("%1 reaches past the end of the file").arg(p.what));
        if (header.e_machine == EM_AVR && p.address >= AvrOtherSpaces)
            continue;
        if (!result.store(buffer, p.address, bytes.constData() + p.offset, p.size))
            return fail(p.headerOffset, QStringLiteral("%1 at %2 lies beyond the 64 KiB buffer")
                                            .arg(p.what, ImageRead::addressText(p.address)));
    }
    if (!result.dataStored)
        return fail(0, QStringLiteral("the file holds nothing for flash"));
    result.finish(buffer);
    return result;
}
