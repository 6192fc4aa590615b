#include "MessageBoxPrompter.h"
#include "ProgramDialogs.h"
#include "StoreFactory.h"
#include "TTarvoForm.h"
#include "TarvoApplication.h"
#include "WindowRunLog.h"

#include <memory>

#include <QDir>
#include <QIcon>

int main(int argc, char *argv[])
{
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
