#include "DeviceCommand.h"

#include "StructureDevice.h"

namespace {

using Id = DeviceCommand::Id;
using Kind = DeviceCommand::Kind;
using Parameter = DeviceCommand::Parameter;
using Item = DeviceMenuItem;

constexpr QLatin1String L(const char *text) { return QLatin1String(text); }

const std::array<DeviceCommand, 9> Rows{{
    {Id::Erase, L("erase"), L("05"), Parameter::Zero, &CommandTexts::erase, Item::EraseDevice, false, Kind::SingleReply},
    {Id::Blank, L("blank"), L("0A"), Parameter::DeviceEnd, &CommandTexts::blank, Item::BlankDevice, false,
     Kind::SingleReply},
    {Id::Program, L("program"), L("01"), Parameter::Zero, &CommandTexts::program, Item::ProgramDevice, true,
     Kind::BlockTransfer},
    {Id::Verify, L("verify"), L("0C"), Parameter::Zero, &CommandTexts::verify, Item::VerifyDevice, true,
     Kind::BlockTransfer},
    {Id::Lock1, L("lock1"), L("03"), Parameter::Lock1, &CommandTexts::lock1, Item::Lock1, false, Kind::SingleReply},
    {Id::Lock2, L("lock2"), L("03"), Parameter::Lock2, &CommandTexts::lock2, Item::Lock2, false, Kind::SingleReply},
    {Id::Lock3, L("lock3"), L("03"), Parameter::Lock3, &CommandTexts::lock3, Item::Lock3, false, Kind::SingleReply},
    {Id::Read, L("read"), L("06"), Parameter::Zero, &CommandTexts::read, Item::ReadDevice, false, Kind::Read},
    {Id::Auto, L("auto"), L(""), Parameter::Zero, &CommandTexts::autoProgram, Item::AutoProgram, true, Kind::Auto},
}};

} // namespace

QString DeviceCommand::word(const StructureDevice &device, Parameter parameter) const
{
    QString parameterText;
    switch (parameter) {
    case Parameter::Zero:
        parameterText = QStringLiteral("0000");
        break;
    case Parameter::Lock1:
        parameterText = QStringLiteral("0001");
        break;
    case Parameter::Lock2:
        parameterText = QStringLiteral("0002");
        break;
    case Parameter::Lock3:
        parameterText = QStringLiteral("0003");
        break;
    case Parameter::DeviceEnd:
        parameterText = device.DeviceEnd;
        break;
    case Parameter::LockLevel:
        parameterText = device.LockLevel;
        break;
    }
    return code + parameterText + device.TypeCode;
}

const std::array<DeviceCommand, 9> &DeviceCommand::all()
{
    return Rows;
}

const DeviceCommand &DeviceCommand::get(Id id)
{
    return Rows[std::size_t(id)];
}

const DeviceCommand *DeviceCommand::byName(const QString &name)
{
    for (const DeviceCommand &c : Rows)
        if (name == c.name)
            return &c;
    return nullptr;
}
