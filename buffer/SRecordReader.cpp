#include "SRecordReader.h"

#include "HexText.h"

#include <QList>

#include <optional>

namespace {

// Address bytes of each record type S0..S9; 0 for the reserved S4.
constexpr int AddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

// A hex digit's value, none for another character.
std::optional<int> hexDigit(char c)
{
    const int value = HexText::digitValue(c);
    return value < 0 ? std::nullopt : std::optional<int>(value);
}

// One line's record, decoded: its type and the bytes after the count
// (address, data, checksum), or why it is no record.
struct Record
{
    int type = 0;
    QByteArray bytes;
    QString error;

    uint64_t address() const
    {
        uint64_t a = 0;
        for (int k = 0; k < AddressBytes[type]; ++k)
            a = (a << 8) | uint8_t(bytes.at(k));
        return a;
    }
    QByteArray data() const { return bytes.mid(AddressBytes[type], bytes.size() - AddressBytes[type] - 1); }
};

Record decode(QByteArrayView line)
{
    Record r;
    if (line.size() < 4 || line.at(0) != 'S' || !hexDigit(line.at(1)) || *hexDigit(line.at(1)) > 9) {
        r.error = QStringLiteral("not an S-record");
        return r;
    }
    r.type = *hexDigit(line.at(1));
    if (AddressBytes[r.type] == 0) {
        r.error = QStringLiteral("S4 is no record type");
        return r;
    }
    QByteArray bytes;
    for (qsizetype pos = 2; pos + 1 < line.size(); pos += 2) {
        const auto high = hexDigit(line.at(pos));
        const auto low = hexDigit(line.at(pos + 1));
        if (!high || !low) {
            r.error = QStringLiteral("character %1 is not a hex digit").arg(pos + (high ? 2 : 1));
            return r;
        }
        bytes.append(char(*high << 4 | *low));
    }
    if (line.size() % 2 != 0) {
        r.error = QStringLiteral("odd number of hex digits");
        return r;
    }
    const int count = uint8_t(bytes.at(0));
    if (count != bytes.size() - 1) {
        r.error = QStringLiteral("the count says %1 bytes, the line holds %2").arg(count).arg(bytes.size() - 1);
        return r;
    }
    if (count < AddressBytes[r.type] + 1) {
        r.error = QStringLiteral("S%1 needs at least %2 bytes").arg(r.type).arg(AddressBytes[r.type] + 1);
        return r;
    }
    unsigned sum = 0;
    for (qsizetype k = 0; k + 1 < bytes.size(); ++k)
        sum += uint8_t(bytes.at(k));
    if (uint8_t(~sum) != uint8_t(bytes.back())) {
        r.error = QStringLiteral("wrong checksum");
        return r;
    }
    r.bytes = bytes.mid(1);
    return r;
}

} // namespace

ImageRead SRecordReader::read(const QByteArray &text, MemoryBuffer &buffer)
{
    ImageRead result;
    buffer.fill(0xFF);
    uint64_t dataRecords = 0;
    int endLine = 0;
    int lineNumber = 0;
    const auto fail = [&](const QString &why) {
        result.error = QStringLiteral("line %1: %2").arg(lineNumber).arg(why);
        return result;
    };

    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        // CR LF line ends, blanks after a record
        const QByteArrayView line = QByteArrayView(text).sliced(start, end - start).trimmed();
        start = end + 1;
        ++lineNumber;
        if (line.isEmpty())
            continue;
        if (endLine > 0)
            return fail(QStringLiteral("a record after the end record in line %1").arg(endLine));
        const Record r = decode(line);
        if (!r.error.isEmpty())
            return fail(r.error);
        switch (r.type) {
        case 1:
        case 2:
        case 3: {
            const QByteArray data = r.data();
            if (!result.store(buffer, r.address(), data.constData(), uint64_t(data.size())))
                return fail(QStringLiteral("data at %1 lies beyond the 64 KiB buffer").arg(ImageRead::addressText(r.address())));
            ++dataRecords;
            break;
        }
        case 5:
        case 6:
            if (r.address() != dataRecords)
                return fail(QStringLiteral("the count record says %1 data records, the file has %2")
                                .arg(r.address()).arg(dataRecords));
            break;
        case 7:
        case 8:
        case 9:
            endLine = lineNumber;
            break;
        default: // S0: a header, whatever it says
            break;
        }
    }
    result.finish(buffer);
    return result;
}
