#include "CliCommand.h"

#include <array>

namespace {

struct Row
{
    CliCommand::Kind kind;
    const char *name;
};

constexpr std::array<Row, 12> Rows{{
    {CliCommand::Kind::Detect, "detect"},
    {CliCommand::Kind::Erase, "erase"},
    {CliCommand::Kind::Blank, "blank"},
    {CliCommand::Kind::Program, "program"},
    {CliCommand::Kind::Verify, "verify"},
    {CliCommand::Kind::Read, "read"},
    {CliCommand::Kind::Lock1, "lock1"},
    {CliCommand::Kind::Lock2, "lock2"},
    {CliCommand::Kind::Lock3, "lock3"},
    {CliCommand::Kind::Auto, "auto"},
    {CliCommand::Kind::FuseRead, "fuse-read"},
    {CliCommand::Kind::FuseWrite, "fuse-write"},
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
