#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// One command of the command line, in the order given.
struct CliCommand
{
    enum class Kind { Detect, Erase, Blank, Program, Verify, Read, Lock1, Lock2, Lock3, Auto, FuseRead, FuseWrite };

    Kind kind = Kind::Detect;
    // fuse-write only.
    uint8_t fuseValue = 0;

    QString name() const { return nameOf(kind); }
    // Program, Verify and Auto send the buffer, so they need a file.
    bool needsFile() const { return kind == Kind::Program || kind == Kind::Verify || kind == Kind::Auto; }
    bool isFuse() const { return kind == Kind::FuseRead || kind == Kind::FuseWrite; }

    static QString nameOf(Kind kind);
    static std::optional<Kind> kindOf(const QString &name);
    static QStringList names();
    // A command as the help lists it: its name, the name of the value that
    // follows it (empty for none), and what it does.
    struct Text
    {
        QString name;
        QString valueName;
        QString help;
    };
    static QList<Text> texts();
    // "21", "0x21", "0X21": one or two hex digits.
    static std::optional<uint8_t> parseFuseValue(const QString &text);
};
