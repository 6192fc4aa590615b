// tarvo-line: the production line's dashboard, served over HTTP, read only.
#include "AccessToken.h"
#include "LineApi.h"
#include "LineData.h"
#include "LineOptions.h"
#include "LineServer.h"
#include "ProductionDatabase.h"
#include "TarvoVersion.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <cstdio>

namespace {

int fail(const QString &text, bool tryHelp = false)
{
    std::fprintf(stderr, "tarvo-line: %s\n", qPrintable(text));
    if (tryHelp)
        std::fputs("Try 'tarvo-line --help'.\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvo-line"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const LineOptions options = LineOptions::parse(arguments);
    if (!options.error.isEmpty())
        return fail(options.error, true);
    if (options.help) {
        std::fputs(qPrintable(LineOptions::helpText()), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("tarvo-line " TARVO_VERSION_STRING);
        return 0;
    }

    AccessToken token;
    QString error;
    if (!options.tokenFile.isEmpty() && !token.load(options.tokenFile, &error))
        return fail(error);
    ProductionDatabase database(DatabaseLocation::parse(options.database));
    if (!database.open(&error, ProductionDatabase::OpenMode::Existing))
        return fail(error);

    LineData data(database);
    LineApi api(data, token);
    LineServer server(api);
    auto *listener = new QTcpServer(&server);
    if (!listener->listen(options.listen.address(), options.listen.port()))
        return fail(QStringLiteral("cannot listen on %1: %2")
                        .arg(options.listen.text(options.listen.port()), listener->errorString()));
    server.bind(listener);
    std::printf("tarvo-line: serving %s at http://%s/%s\n", qPrintable(database.location().text()),
                qPrintable(options.listen.text(listener->serverPort())),
                token.isRequired() ? " (token required)" : "");
    std::fflush(stdout);
    return app.exec();
}
