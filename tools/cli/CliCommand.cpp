#include "CliCommand.h"

#include <array>

namespace {

// The commands: name, the name of the value that follows it, and the
// help's text.
struct Row
{
    CliCommand::Kind kind;
    const char *name;
    const char *valueName;
    const char *help;
};

constexpr std::array<Row, 12> Rows{{
    {CliCommand::Kind::Detect, "detect", "", "only the detection (it runs before every other command too)"},
    {CliCommand::Kind::Erase, "erase", "", "erase the device"},
    {CliCommand::Kind::Blank, "blank", "", "check that the device is blank"},
    {CliCommand::Kind::Program, "program", "", "write the file into the device"},
    {CliCommand::Kind::Verify, "verify", "", "compare the device with the file"},
    {CliCommand::Kind::Read, "read", "", "read the device's flash and save it to --output"},
    {CliCommand::Kind::Lock1, "lock1", "", "program lock bit 1"},
    {CliCommand::Kind::Lock2, "lock2", "", "program lock bits 1 and 2"},
    {CliCommand::Kind::Lock3, "lock3", "", "program lock bits 1, 2 and 3"},
    {CliCommand::Kind::Auto, "auto", "", "erase, blank check, program, verify and lock in one run"},
    {CliCommand::Kind::FuseRead, "fuse-read", "", "show the fuse and lock bits"},
    {CliCommand::Kind::FuseWrite, "fuse-write", "VALUE",
     "write the fuse byte VALUE (hex: 21 or 0x21) and check it by reading it back; type 04 devices take 00 or 01, "
     "the AT90S devices 00, 01, 20 or 21"},
}};

int digitValue(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.unicode() - 'a' + 10;
    return -1;
}

} // namespace

QString CliCommand::nameOf(Kind kind)
{
    for (const Row &r : Rows)
        if (r.kind == kind)
            return QString::fromLatin1(r.name);
    return {};
}

std::optional<CliCommand::Kind> CliCommand::kindOf(const QString &name)
{
    for (const Row &r : Rows)
        if (name == QLatin1String(r.name))
            return r.kind;
    return std::nullopt;
}

QStringList CliCommand::names()
{
    QStringList out;
    for (const Row &r : Rows)
        out << QString::fromLatin1(r.name);
    return out;
}

QList<CliCommand::Text> CliCommand::texts()
{
    QList<Text> out;
    for (const Row &r : Rows)
        out.append({QString::fromLatin1(r.name), QString::fromLatin1(r.valueName), QString::fromUtf8(r.help)});
    return out;
}

std::optional<uint8_t> CliCommand::parseFuseValue(const QString &text)
{
    QString digits = text;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    if (digits.isEmpty() || digits.size() > 2)
        return std::nullopt;
    int value = 0;
    for (QChar c : digits) {
        const int d = digitValue(c);
        if (d < 0)
            return std::nullopt;
        value = value * 16 + d;
    }
    return uint8_t(value);
}
