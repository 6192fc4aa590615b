#include "LineOptions.h"

namespace {

struct Option
{
    const char *name;
    const char *value;
    const char *help;
    QString LineOptions::*text;
};

// One row per option: the parsing and the help both follow it.
const Option Options[] = {
    {"--db", "LOCATION", "the production database: an SQLite file, or postgresql://[user@]host[:port]/dbname",
     &LineOptions::database},
    {"--listen", "ADDR:PORT", "where to serve the dashboard (127.0.0.1:8040); any address other than this machine's "
                              "own needs --token-file",
     nullptr},
    {"--token-file", "FILE", "a file whose first line is the token every request must carry (16 to 512 letters, "
                             "digits or - . _ ~ + / =)",
     &LineOptions::tokenFile},
    {"--help", nullptr, "show this help", nullptr},
    {"--version", nullptr, "show the version", nullptr},
};

} // namespace

LineOptions LineOptions::parse(const QStringList &arguments)
{
    LineOptions options;
    QString listenText;
    QStringList seen;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        QString value;
        bool inlineValue = false;
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && equals > 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
            inlineValue = true;
        }
        const Option *option = nullptr;
        for (const Option &o : Options)
            if (name == QLatin1String(o.name))
                option = &o;
        if (!option) {
            options.error = QStringLiteral("Unknown argument \"%1\".").arg(arguments[i].left(100));
            return options;
        }
        if (seen.contains(name)) {
            options.error = QStringLiteral("%1 is given twice.").arg(name);
            return options;
        }
        seen << name;
        if (!option->value) {
            if (inlineValue) {
                options.error = QStringLiteral("%1 takes no value.").arg(name);
                return options;
            }
            (name == QLatin1String("--help") ? options.help : options.version) = true;
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("%1 wants %2.").arg(name, QLatin1String(option->value));
                return options;
            }
            value = arguments[++i];
        }
        if (option->text)
            options.*(option->text) = value;
        else
            listenText = value;
    }
    if (options.help || options.version)
        return options;
    if (options.database.isEmpty()) {
        options.error = QStringLiteral("--db LOCATION is required.");
        return options;
    }
    if (!listenText.isNull()) {
        options.listen = ListenAddress::parse(listenText);
        if (!options.listen.isValid()) {
            options.error = options.listen.error();
            return options;
        }
    }
    if (!options.listen.isLocal() && options.tokenFile.isEmpty())
        options.error = QStringLiteral("Listening on %1 opens the dashboard beyond this machine: give --token-file FILE as well.")
                            .arg(options.listen.text(options.listen.port()));
    return options;
}

QString LineOptions::helpText()
{
    QString text = QStringLiteral("Usage: tarvo-line --db LOCATION [--listen ADDR:PORT] [--token-file FILE]\n"
                                  "Serves the production line's dashboard over HTTP, read only.\n\n");
    for (const Option &o : Options) {
        const QString left = o.value ? QStringLiteral("%1 %2").arg(QLatin1String(o.name), QLatin1String(o.value))
                                     : QLatin1String(o.name);
        text += QStringLiteral("  %1 %2\n").arg(left, -24).arg(QLatin1String(o.help));
    }
    return text;
}
