#include "FuseCommands.h"

#include "CliOutput.h"
#include "FuseLayout.h"
#include "SelectionState.h"

using FuseLayout::Target;

namespace {

const QString WriteComplete = QStringLiteral("Program Fuse Complete");
const QString ReadComplete = QStringLiteral("Read Fuse Complete");

constexpr Target AllTargets[] = {Target::Fuse1, Target::Fuse2, Target::Lock1, Target::Lock2, Target::Lock3};

bool isChoice(Target t)
{
    return t == Target::Fuse1 || t == Target::Fuse2;
}

} // namespace

FuseCommands::FuseCommands(ProgrammerLink &link, const SelectionState &selection, CliOutput &output)
    : m_selection(selection)
    , m_output(output)
    , m_exchange(link, selection, m_view)
{
}

QList<uint8_t> FuseCommands::writableValues(const QString &typeCode)
{
    QList<uint8_t> out;
    if (FuseLayout::bitFields(typeCode).empty())
        return out;
    for (int v = 0; v < 256; ++v)
        if (FuseLayout::readBackValue(typeCode, uint8_t(v)) == v)
            out.append(uint8_t(v));
    return out;
}

bool FuseCommands::read()
{
    m_view.clear();
    m_exchange.activate();
    // A read that failed leaves its displays empty.
    bool complete = true;
    for (Target t : AllTargets)
        complete = complete && !m_view.display(t).isEmpty();
    if (!complete) {
        m_output.status(1, failureText());
        return false;
    }
    m_output.status(1, ReadComplete);
    reportBits();
    return true;
}

bool FuseCommands::write(uint8_t value)
{
    m_view.clear();
    const QString type = m_selection.SelectedDevice.TypeCode;
    for (const FuseLayout::BitField &f : FuseLayout::bitFields(type))
        if (f.byte == FuseLayout::ByteKind::Fuse && isChoice(f.target))
            m_view.setChoice(f.target, (value >> f.bit) & 1);
    m_exchange.writeClick();
    if (m_view.result() != WriteComplete) {
        m_output.status(1, m_view.result());
        return false;
    }
    m_output.status(1, WriteComplete);
    reportBits();
    return true;
}

QString FuseCommands::failureText() const
{
    // The first failure is the cause; a later read may still have completed.
    for (const QString &r : m_view.results())
        if (!r.startsWith(QLatin1String("Waiting")) && !r.endsWith(QLatin1String("Complete")))
            return r;
    return m_view.result();
}

void FuseCommands::reportBits()
{
    const StructureDevice &device = m_selection.SelectedDevice;
    const auto group = FuseLayout::deviceGroup(device.DeviceName);
    const QString notPresent = QString::fromLatin1(FuseLayout::NotPresentText);
    QList<CliOutput::Bit> bits;
    for (Target t : AllTargets) {
        QString label;
        bool present = true;
        switch (t) {
        case Target::Fuse1:
            label = QStringLiteral("Fuse ") + (group ? group->fuse1Name : QStringLiteral("Bit1"));
            present = !group || group->fuse1Present;
            break;
        case Target::Fuse2:
            label = QStringLiteral("Fuse ") + QString::fromLatin1(FuseLayout::Fuse2Name);
            break;
        case Target::Lock1:
            label = QStringLiteral("Lock Bit1");
            break;
        case Target::Lock2:
            label = QStringLiteral("Lock Bit2");
            break;
        case Target::Lock3:
            label = QStringLiteral("Lock Bit3");
            present = !group || group->lock3Present;
            break;
        }
        QString state = m_view.display(t);
        if (!present)
            state = notPresent;
        else if (state.isEmpty())
            // The fuse check may pass while the lock read-back failed.
            state = QStringLiteral("not read (") + failureText() + QLatin1Char(')');
        bits.append({label, state});
    }
    const auto value = FuseLayout::writeValue(device.TypeCode, m_view.choice(Target::Fuse1), m_view.choice(Target::Fuse2));
    m_output.fuseBits(bits, value);
}
