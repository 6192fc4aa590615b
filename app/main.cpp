#include "MessageBoxPrompter.h"
#include "ProgramDialogs.h"
#include "StoreFactory.h"
#include "TTarvoForm.h"
#include "TarvoApplication.h"
#include "TarvoVersion.h"
#include "WindowRunLog.h"

#include <cstdio>
#include <memory>
#include <optional>

#include <QCommandLineParser>
#include <QDir>
#include <QIcon>

namespace {

struct WindowOptions
{
    bool keepRunFocus = false;
    // Set when the program ends before the window opens (--help, --version).
    std::optional<int> exitCode;
};

// tarvo's own options, read before the application exists, so that --help
// and --version print without a display. Options it does not know (Qt's own,
// such as -platform) are left to the application.
WindowOptions windowOptions(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
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
    parser.addOptions({help, version, keep, log, db});
    parser.parse(arguments);

    WindowOptions options;
    if (parser.isSet(help)) {
        // Without an application object the usage line has no program name.
        QString text = parser.helpText();
        text.replace(QLatin1String("<executable_name>"), QLatin1String("tarvo"));
        std::fputs(qPrintable(text), stdout);
        options.exitCode = 0;
    } else if (parser.isSet(version)) {
        std::printf("tarvo %s\n", TARVO_VERSION_STRING);
        options.exitCode = 0;
    }
    options.keepRunFocus = parser.isSet(keep) || qEnvironmentVariable("TARVO_KEEP_RUN_FOCUS") == QLatin1String("1");
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    const WindowOptions options = windowOptions(argc, argv);
    if (options.exitCode)
        return *options.exitCode;
    TarvoApplication app(argc, argv);
    // Every size the resource holds (app/CMakeLists.txt lists them).
    QIcon icon;
    for (const QFileInfo &file : QDir(QStringLiteral(":/icons")).entryInfoList(QDir::Files))
        icon.addFile(file.filePath());
    app.setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral("tarvo"));
    MessageBoxPrompter prompter;
    app.setPrompter(&prompter);

    TTarvoForm form(prompter);
    form.setKeepRunFocus(options.keepRunFocus);
    prompter.setParentWidget(&form);
    form.createSecondaryWindows(programDialogs(form));
    form.show();
    app.closeOnSignals(&form);

    // The production log (a file or a database), only when asked for.
    std::unique_ptr<WindowRunLog> log;
    StoreOptions stores;
    stores.logFile = WindowRunLog::logFile(QCoreApplication::arguments());
    stores.database = WindowRunLog::database(QCoreApplication::arguments());
    QString error;
    if (std::unique_ptr<RecordStore> store = StoreFactory::recordStore(stores, &error)) {
        log = std::make_unique<WindowRunLog>(form, std::move(store));
        log->open();
    } else if (!error.isEmpty()) {
        prompter.defaultError(error);
    }
    return app.exec();
}
