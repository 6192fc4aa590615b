#include "BinaryImageReader.h"

ImageRead BinaryImageReader::read(const QByteArray &bytes, uint32_t offset, MemoryBuffer &buffer)
{
    ImageRead result;
    buffer.fill(0xFF);
    if (bytes.isEmpty())
        result.error = QStringLiteral("offset 0: the file is empty");
    else if (!result.store(buffer, offset, bytes.constData(), uint64_t(bytes.size())))
        result.error = QStringLiteral("offset %1: from %2 on the file reaches beyond the 64 KiB buffer")
                           .arg(MemoryBuffer::Size - qint64(std::min<uint32_t>(offset, MemoryBuffer::Size)))
                           .arg(ImageRead::addressText(offset));
    result.finish(buffer);
    return result;
}
