// tarvo-cli's command line: the mode parse picks, what the options fill,
// and the help, the manual page and the bash completion against the option
// and command rows, so that an option added to the rows cannot be left out
// of any of them (nor one dropped from the rows stay in them).
#include "CliHelp.h"
#include "CliOptions.h"
#include "PortFleet.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

using Mode = CliOptions::Mode;

// "--port", "-P": every spelling of every option in the rows.
QSet<QString> rowOptions()
{
    QSet<QString> out;
    for (const CliOptions::Text &option : CliOptions::texts())
        for (const QString &name : option.names)
            out << (name.size() == 1 ? QLatin1String("-") : QLatin1String("--")) + name;
    return out;
}

QSet<QString> rowCommands()
{
    const QStringList names = CliCommand::names();
    return {names.cbegin(), names.cend()};
}

// The tags (the line after .TP) of one section of the manual page, with the
// font changes and the escaped hyphens taken out.
QString manTags(const QString &section)
{
    QFile file(QStringLiteral(TARVO_SOURCE_DIR "/data/man/tarvo-cli.1"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QString out;
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1String(".SH ")))
            inSection = lines[i].mid(4) == section;
        else if (inSection && lines[i] == QLatin1String(".TP") && i + 1 < lines.size())
            out += lines[i + 1] + QLatin1Char('\n');
    }
    static const QRegularExpression font(QStringLiteral(R"(\\f[BIRP])"));
    return out.replace(font, QString()).replace(QLatin1String("\\-"), QLatin1String("-"));
}

QSet<QString> matches(const QString &text, const QString &pattern)
{
    QSet<QString> out;
    for (const QRegularExpressionMatch &m : QRegularExpression(pattern).globalMatch(text))
        out << m.captured(0);
    return out;
}

// What the installed completion offers for the first word being WORD.
QSet<QString> completions(const QString &word)
{
    QProcess bash;
    bash.start(QStringLiteral("bash"),
               {QStringLiteral("-c"),
                QStringLiteral("source \"$1\"; COMP_WORDS=(tarvo-cli \"$2\"); COMP_CWORD=1; _tarvo_cli;"
                               " printf '%s\\n' \"${COMPREPLY[@]}\""),
                QStringLiteral("bash"), QStringLiteral(TARVO_SOURCE_DIR "/data/completion/tarvo-cli"), word});
    if (!bash.waitForFinished(10000)) {
        bash.kill();
        bash.waitForFinished(1000);
        return {};
    }
    const QStringList words = QString::fromUtf8(bash.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return {words.cbegin(), words.cend()};
}

} // namespace

class TestCliOptions : public QObject
{
    Q_OBJECT

private slots:
    void modes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("error");
        const QStringList job{"-p", "AT89C2051", "erase"};
        QTest::newRow("one port") << QStringList{"-P", "Com1"} + job << Mode::Run << "";
        QTest::newRow("several ports") << QStringList{"-P", "Com1", "--port", "Com2"} + job << Mode::Fleet << "";
        QTest::newRow("auto-all") << QStringList{"-P", "auto-all"} + job << Mode::Fleet << "";
        QTest::newRow("auto-all with another") << QStringList{"-P", "auto-all", "-P", "Com1"} + job << Mode::Fleet
                                               << "give it alone";
        QTest::newRow("list ports") << QStringList{"--json", "--list-ports"} << Mode::ListPorts << "";
        QTest::newRow("list ports and a command") << QStringList{"--list-ports", "detect"} << Mode::ListPorts
                                                  << "--list-ports takes no other option";
        QTest::newRow("list ports and report") << QStringList{"--list-ports", "--report", "--db", "x.db"}
                                               << Mode::ListPorts << "--list-ports takes no other option";
        QTest::newRow("report") << QStringList{"--db", "x.db", "--report", "--csv"} << Mode::Report << "";
        QTest::newRow("report without db") << QStringList{"--report"} << Mode::Report << "--report needs --db";
        QTest::newRow("since without report") << QStringList{"--since", "2026-12-01"} << Mode::Run << "need --report";
        QTest::newRow("report by bench") << QStringList{"--db", "x.db", "--report", "--bench"} << Mode::Report << "";
        QTest::newRow("bench without report") << QStringList{"--bench", "--db", "x.db"} << Mode::Run << "need --report";
        QTest::newRow("bench as json") << QStringList{"--db", "x.db", "--report", "--bench", "--json"} << Mode::Report
                                       << "--bench is a table of its own";
        // The help is shown whatever else is wrong; the others need a sound line.
        QTest::newRow("help and a bad command") << QStringList{"wipe", "--help"} << Mode::Help << "unknown command";
        QTest::newRow("help over version") << QStringList{"--version", "-h"} << Mode::Help << "";
        QTest::newRow("version over list") << QStringList{"--list-devices", "--version"} << Mode::Version << "";
        QTest::newRow("list devices, -q and -v") << QStringList{"--list-devices", "-q", "-v"} << Mode::ListDevices << "";
        QTest::newRow("unknown option with help") << QStringList{"--help", "--baud"} << Mode::Run << "unknown option";
    }
    void modes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Mode, mode);
        QFETCH(QString, error);
        const CliOptions o = CliOptions::parse(arguments);
        QCOMPARE(o.mode, mode);
        if (error.isEmpty())
            QCOMPARE(o.error, QString());
        else
            QVERIFY2(o.error.contains(error), qPrintable(o.error));
    }

    // The production options reach the stores, and make a production run.
    void storeOptions()
    {
        const QStringList job{"-P", "Com1", "-p", "AT89C2051", "-f", "fw.hex", "program"};
        CliOptions o = CliOptions::parse(job + QStringList{"--log", "line.csv", "--serial", "7F0:5", "--serial-state", "s"});
        QCOMPARE(o.error, QString());
        QCOMPARE(o.stores.logFile, QStringLiteral("line.csv"));
        QCOMPARE(o.stores.serialStateFile, QStringLiteral("s"));
        QVERIFY(o.stores.serial.has_value());
        QVERIFY(o.production());

        o = CliOptions::parse(job + QStringList{"--db", "line.db", "--serial-sequence", "board"});
        QCOMPARE(o.error, QString());
        QCOMPARE(o.stores.database, QStringLiteral("line.db"));
        QCOMPARE(o.stores.serialSequence, QStringLiteral("board"));
        QVERIFY(o.production());

        QVERIFY(!CliOptions::parse(job).production());
        QCOMPARE(CliOptions::parse(job + QStringList{"--db", "a.db", "--db", "b.db"}).error,
                 QStringLiteral("--db given twice"));
        QCOMPARE(CliOptions::parse(job + QStringList{"--db", "a.db", "--log", "x.csv"}).error,
                 QStringLiteral("--db keeps the records: leave out --log"));
    }

    // Each port of several gets the parsed options with its one port:
    // compacted short options and values that look like options reach the
    // child whole, so it neither gets a second port (and starts a fleet of
    // its own) nor loses a value.
    void portChildArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("file");
        const QStringList job{"-p", "AT89C2051", "program"};
        QTest::newRow("-vP") << QStringList{"-vP", "Com1", "-P", "Com2", "-f", "fw.hex"} + job << "fw.hex";
        QTest::newRow("-qP") << QStringList{"-qP", "Com1", "-PCom2", "-ffw.hex"} + job << "fw.hex";
        QTest::newRow("-nPCom1") << QStringList{"-nPCom1", "--port=Com2", "-f", "fw.hex"} + job << "fw.hex";
        QTest::newRow("file named -Pfw.hex") << QStringList{"-P", "Com1", "-P", "Com2", "-f", "-Pfw.hex"} + job
                                             << "-Pfw.hex";
        QTest::newRow("file named --port") << QStringList{"-P", "Com1", "-P", "Com2", "--file", "--port"} + job
                                           << "--port";
        QTest::newRow("commands after --") << QStringList{"-P", "Com1", "-P", "Com2", "-ffw.hex", "-p", "AT89C2051",
                                                          "--", "program", "fuse-write", "0x0a"}
                                           << "fw.hex";
    }
    void portChildArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, file);
        const CliOptions parent = CliOptions::parse(QStringList{"--serial", "7F0:1:3", "--serial-state", "-s"} + arguments);
        QCOMPARE(parent.error, QString());
        QCOMPARE(parent.mode, Mode::Fleet);
        QCOMPARE(parent.ports, (QStringList{"Com1", "Com2"}));
        for (const QString &port : parent.ports) {
            const QStringList words = PortFleet::childArguments(parent, port);
            const CliOptions child = CliOptions::parse(words);
            QVERIFY2(child.error.isEmpty(), qPrintable(child.error + ": " + words.join(' ')));
            QCOMPARE(child.mode, Mode::Run);
            QCOMPARE(child.ports, QStringList{port});
            QVERIFY(child.json);
            QCOMPARE(child.file, file);
            QCOMPARE(child.device, parent.device);
            QCOMPARE(child.stores.serialStateFile, QStringLiteral("-s"));
            QCOMPARE(child.serialSpec, QStringLiteral("7F0:1:3"));
            QCOMPARE(child.verbose, parent.verbose);
            QCOMPARE(child.quiet, parent.quiet);
            QCOMPARE(child.dryRun, parent.dryRun);
            QCOMPARE(child.commands.size(), parent.commands.size());
            for (qsizetype i = 0; i < child.commands.size(); ++i) {
                QCOMPARE(child.commands[i].kind, parent.commands[i].kind);
                QCOMPARE(child.commands[i].fuseValue, parent.commands[i].fuseValue);
            }
            // Read again, the same words: nothing drifts from one level to the next.
            QCOMPARE(child.arguments(), words);
        }
    }

    // Each row's option on its own is read, not refused as unknown or as
    // lacking a value: the row's target suits its value name.
    void everyRowReads()
    {
        for (const CliOptions::Text &option : CliOptions::texts()) {
            QString argument = QLatin1String("--") + option.names.last();
            if (!option.valueName.isEmpty())
                argument += QLatin1String("=x");
            const QString error = CliOptions::parse({argument}).error;
            QVERIFY2(!error.contains(QLatin1String("unknown option")) && !error.contains(QLatin1String("needs a value")),
                     qPrintable(argument + QLatin1String(": ") + error));
        }
    }

    // Every option and command with its whole text, within 80 columns.
    void helpFromTheRows()
    {
        const QString help = CliHelp::text();
        for (const QString &line : help.split(QLatin1Char('\n')))
            QVERIFY2(line.size() <= 80, qPrintable(line));
        const QString flowing = help.simplified();
        for (const CliOptions::Text &option : CliOptions::texts()) {
            QVERIFY2(help.contains(QLatin1String("--") + option.names.last()), qPrintable(option.names.last()));
            for (const QString &text : {option.help, option.productionHelp})
                QVERIFY2(flowing.contains(text), qPrintable(text));
        }
        for (const CliCommand::Text &command : CliCommand::texts())
            QVERIFY2(flowing.contains(command.name + QLatin1Char(' ') + (command.valueName.isEmpty() ? QString() : command.valueName + QLatin1Char(' ')) + command.help),
                     qPrintable(command.name));
    }

    void manualPageFollowsTheRows()
    {
        const QString optionPattern = QStringLiteral(R"((?<![\w-])(--[a-z][a-z-]*|-[A-Za-z])(?![\w-]))");
        const QSet<QString> documented = matches(manTags(QStringLiteral("OPTIONS")), optionPattern)
                                         + matches(manTags(QStringLiteral("PRODUCTION OPTIONS")), optionPattern);
        QCOMPARE(documented - rowOptions(), QSet<QString>());
        QCOMPARE(rowOptions() - documented, QSet<QString>());
        const QSet<QString> commands = matches(manTags(QStringLiteral("COMMANDS")), QStringLiteral(R"((?<![\w.-])[a-z][a-z0-9-]*)"));
        QCOMPARE(commands, rowCommands());
    }

    void completionFollowsTheRows()
    {
        const QSet<QString> options = completions(QStringLiteral("-"));
        QCOMPARE(rowOptions() - options, QSet<QString>());
        QCOMPARE(options - rowOptions(), QSet<QString>());
        QCOMPARE(completions(QString()), rowCommands());
    }
};

QTEST_GUILESS_MAIN(TestCliOptions)

#include "tst_cli_options.moc"
