#include "MessageBoxPrompter.h"
#include "ProgramDialogs.h"
#include "StoreFactory.h"
#include "TTarvoForm.h"
#include "OperatorMode.h"
#include "TarvoApplication.h"
#include "WindowOptions.h"
#include "WindowRunLog.h"

#include <cstdio>
#include <memory>

#include <QDir>
#include <QIcon>

int main(int argc, char *argv[])
{
    // Read before the application exists, so that --help and --version print
    // without a display.
    const WindowOptions options = WindowOptions::parse(WindowOptions::arguments(argc, argv));
    if (!options.printOnly.isEmpty()) {
        std::fputs(qPrintable(options.printOnly), stdout);
        return 0;
    }
    TarvoApplication app(argc, argv);
    // Every size the resource holds (app/CMakeLists.txt lists them).
    QIcon icon;
    for (const QFileInfo &file : QDir(QStringLiteral(":/icons")).entryInfoList(QDir::Files))
        icon.addFile(file.filePath());
    app.setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral("tarvo"));
    MessageBoxPrompter prompter;
    app.setPrompter(&prompter);

    // Records going to a place not asked for are worse than no window.
    if (!options.error.isEmpty()) {
        prompter.defaultError(options.error);
        return 2;
    }

    TTarvoForm form(prompter);
    form.setKeepRunFocus(options.keepRunFocus);
    prompter.setParentWidget(&form);
    form.createSecondaryWindows(programDialogs(form));
    form.jobSaver().setWindowStores(options.stores);
    form.show();
    app.closeOnSignals(&form);

    // The production log (a file or a database), only when asked for.
    std::unique_ptr<WindowRunLog> log;
    QString error;
    if (std::unique_ptr<RecordStore> store = StoreFactory::recordStore(options.stores, &error)) {
        log = std::make_unique<WindowRunLog>(form, std::move(store));
        log->open();
        recordFuseWrites(form, *log);
    } else if (!error.isEmpty()) {
        prompter.defaultError(error);
    }
    // An operator is never left with an unlocked window instead of the job.
    if (!options.job.isEmpty() && !form.openJob(options.job))
        return 2;
    return app.exec();
}
