#include "WindowOptions.h"

#include <QCommandLineParser>

namespace {

// The option's first value on the line, else the variable.
QString optionOrVariable(const QCommandLineParser &parser, const QCommandLineOption &option, const char *variable)
{
    const QStringList values = parser.values(option);
    return values.isEmpty() ? qEnvironmentVariable(variable) : values.constFirst();
}

} // namespace

WindowOptions WindowOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption log(QStringLiteral("log"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption db(QStringLiteral("db"), QString(), QStringLiteral("LOCATION"));
    parser.addOption(log);
    parser.addOption(db);

    WindowOptions options;
    // Options the window does not know are not ours to refuse; a known one
    // without its value is (the records would go somewhere not asked for).
    // The parser takes the next argument as the value, so only the last
    // argument can lack one.
    if (!parser.parse(arguments) && !arguments.isEmpty()
        && (arguments.constLast() == QLatin1String("--log") || arguments.constLast() == QLatin1String("--db"))) {
        options.error = QStringLiteral("Missing value after '%1'.").arg(arguments.constLast());
        return options;
    }
    if (parser.isSet(log) && parser.isSet(db)) {
        options.error = QStringLiteral("--db keeps the records: leave out --log");
        return options;
    }
    options.stores.logFile = optionOrVariable(parser, log, "TARVO_LOG");
    options.stores.database = optionOrVariable(parser, db, "TARVO_DB");
    return options;
}
