#include "WindowOptions.h"

#include "TarvoVersion.h"

#include <QCommandLineParser>

namespace {

// The option's first value on the line, else the variable.
QString optionOrVariable(const QCommandLineParser &parser, const QCommandLineOption &option, const char *variable)
{
    const QStringList values = parser.values(option);
    return values.isEmpty() ? qEnvironmentVariable(variable) : values.constFirst();
}

} // namespace

QStringList WindowOptions::arguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

WindowOptions WindowOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    // The toolkit's own options are single-dash words (-platform, -stylesheet):
    // read as compacted letters they would hold an h and ask for the help.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral("The programmer's window."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Print the version and exit."));
    const QCommandLineOption keep(QStringLiteral("keep-run-focus"),
                                  QStringLiteral("Leave the focus on Run after each pass, so that the next "
                                                 "Enter runs the next device (or TARVO_KEEP_RUN_FOCUS=1)."));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Append one record per run to FILE (or TARVO_LOG)."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption db(QStringLiteral("db"),
                                QStringLiteral("Keep the records in the production database at LOCATION, "
                                               "instead of a log (or TARVO_DB)."),
                                QStringLiteral("LOCATION"));
    const QCommandLineOption job(QStringLiteral("job"),
                                 QStringLiteral("Run the production job FILE (.tarvojob) in operator mode."),
                                 QStringLiteral("FILE"));
    parser.addOptions({help, version, keep, log, db, job});

    WindowOptions options;
    // Options the window does not know are not ours to refuse; a known one
    // without its value is (the records would go somewhere not asked for).
    // The parser takes the next argument as the value, so only the last
    // argument can lack one.
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help)) {
        // Without an application object the usage line has no program name.
        options.printOnly = parser.helpText().replace(QLatin1String("<executable_name>"), QLatin1String("tarvo"));
        return options;
    }
    if (parser.isSet(version)) {
        options.printOnly = QStringLiteral("tarvo %1\n").arg(QLatin1String(TARVO_VERSION_STRING));
        return options;
    }
    if (!parsed && !arguments.isEmpty()
        && (arguments.constLast() == QLatin1String("--log") || arguments.constLast() == QLatin1String("--db")
            || arguments.constLast() == QLatin1String("--job"))) {
        options.error = QStringLiteral("Missing value after '%1'.").arg(arguments.constLast());
        return options;
    }
    if (parser.isSet(log) && parser.isSet(db)) {
        options.error = QStringLiteral("--db keeps the records: leave out --log");
        return options;
    }
    if (parser.isSet(job) && (parser.isSet(log) || parser.isSet(db))) {
        options.error = QStringLiteral("--job says where the records go: leave out %1")
                            .arg(parser.isSet(log) ? QStringLiteral("--log") : QStringLiteral("--db"));
        return options;
    }
    options.keepRunFocus = parser.isSet(keep) || qEnvironmentVariable("TARVO_KEEP_RUN_FOCUS") == QLatin1String("1");
    // The job's records go where the job says, whatever the variables say.
    if (parser.isSet(job)) {
        options.job = parser.value(job);
        if (options.job.isEmpty())
            options.error = QStringLiteral("--job needs the job's file");
        return options;
    }
    options.stores.logFile = optionOrVariable(parser, log, "TARVO_LOG");
    options.stores.database = optionOrVariable(parser, db, "TARVO_DB");
    return options;
}
