#include "DeviceCatalogue.h"

#include <array>

namespace DeviceCatalogue {

namespace {

struct Row
{
    const char *name, *algorithm, *vpp, *signature, *lockLevel, *deviceEnd;
    uint8_t hasFuse;
    const char *typeCode;
};

constexpr std::array<Row, Count> Rows{{
    {"AT89C1051", "89CX051", "+12V", "1E11FF", "0002", "03FF", 0, "01"},
    {"AT89C1051U", "89CX051", "+12V", "1E12FF", "0002", "03FF", 0, "01"},
    {"AT89C2051", "89CX051", "+12V", "1E21FF", "0002", "07FF", 0, "01"},
    {"AT89C2051X2", "89CX051", "+12V", "1E22FF", "0002", "07FF", 0, "01"},
    {"AT89C4051", "89CX051", "+12V", "1E41FF", "0002", "0FFF", 0, "01"},
    {"AT89C51", "89C51", "+12V", "1E51FF", "0003", "0FFF", 0, "03"},
    {"AT89C52", "89C51", "+12V", "1E52FF", "0003", "1FFF", 0, "03"},
    {"AT89C55", "89C51", "+12V", "1E55FF", "0003", "4FFF", 0, "03"},
    {"AT89C55WD", "89C51XX", "+12V", "1E5506", "0003", "4FFF", 0, "05"},
    {"AT89S8252", "89SXXXX", "+12V", "1E72FF", "0003", "27FF", 1, "04"},
    {"AT89S51", "89SXX", "+12V", "1E5106", "0003", "0FFF", 0, "08"},
    {"AT89S52", "89SXX", "+12V", "1E5206", "0003", "1FFF", 0, "08"},
    {"AT89S53", "89SXXXX", "+12V", "1E53FF", "0003", "2FFF", 1, "04"},
    {"AT90S1200", "90SXXXX", "+12V", "1E9001", "0002", "03FF", 1, "06"},
    {"AT90S2313", "90SXXXX", "+12V", "1E9101", "0002", "07FF", 1, "06"},
    {"AT90S8535", "90SXXXX", "+12V", "1E9303", "0002", "1FFF", 1, "06"},
    {"AT90S2343", "90S23XX", "+12V", "1E9103", "0002", "07FF", 1, "07"},
    {"AT90S2323", "90S23XX", "+12V", "1E9102", "0002", "07FF", 1, "07"},
}};

const std::array<StructureDevice, Count> &table()
{
    static const std::array<StructureDevice, Count> devices = [] {
        std::array<StructureDevice, Count> out;
        for (int i = 0; i < Count; ++i) {
            const Row &r = Rows[i];
            out[i] = {QString::fromLatin1(r.name), QString::fromLatin1(r.algorithm), QString::fromLatin1(r.vpp),
                      QString::fromLatin1(r.signature), QString::fromLatin1(r.lockLevel),
                      QString::fromLatin1(r.deviceEnd), r.hasFuse, QString::fromLatin1(r.typeCode)};
        }
        return out;
    }();
    return devices;
}

} // namespace

const StructureDevice &row(int index)
{
    return table().at(size_t(index));
}

int indexOf(const QString &name)
{
    for (int i = 0; i < Count; ++i)
        if (table()[i].DeviceName == name)
            return i;
    return -1;
}

QStringList names()
{
    QStringList out;
    for (const StructureDevice &d : table())
        out << d.DeviceName;
    return out;
}

} // namespace DeviceCatalogue
