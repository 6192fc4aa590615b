// libFuzzer target for the window's command line. The input is split at NUL
// bytes into arguments. Besides surviving any line it checks that the
// records never go to a place the line or the variables did not name: a
// refused line names no store, and an accepted one names only what follows
// --log/--db or -log/-db (as the next argument or after "="), or the variable;
// a job comes only from --job, and with one the records go where the job
// says (no store from the line or the variables).
#include "WindowOptions.h"

#include <cstdlib>

namespace {

bool named(const QStringList &arguments, const QString &value, const QString &option, const char *variable)
{
    if (value.isEmpty() || value == qEnvironmentVariable(variable))
        return true;
    // The toolkit's single-dash words are read as long options: -log is --log.
    const QString single = option.mid(1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        for (const QString &spelling : {option, single}) {
            if (arguments.at(i) == spelling + QLatin1Char('=') + value)
                return true;
            if (arguments.at(i) == value && arguments.at(i - 1) == spelling)
                return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("TARVO_LOG", "env.csv");
    qunsetenv("TARVO_DB");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList arguments{QStringLiteral("tarvo")};
    for (const QByteArray &piece : bytes.split('\0'))
        arguments << QString::fromUtf8(piece);

    const WindowOptions options = WindowOptions::parse(arguments);
    if (!options.error.isEmpty()) {
        if (!options.stores.logFile.isEmpty() || !options.stores.database.isEmpty() || !options.job.isEmpty())
            abort();
        return 0;
    }
    if (!options.job.isEmpty()
        && (!options.stores.logFile.isEmpty() || !options.stores.database.isEmpty()
            || !named(arguments, options.job, QStringLiteral("--job"), "TARVO_NO_SUCH_VARIABLE")))
        abort();
    if (!options.stores.logFile.isEmpty() && !options.stores.database.isEmpty()
        && options.stores.logFile != QLatin1String("env.csv"))
        abort(); // both given on the line must have been refused
    if (!named(arguments, options.stores.logFile, QStringLiteral("--log"), "TARVO_LOG")
        || !named(arguments, options.stores.database, QStringLiteral("--db"), "TARVO_DB"))
        abort();
    return 0;
}
