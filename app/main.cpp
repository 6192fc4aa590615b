#include "MessageBoxPrompter.h"
#include "TAboutBox.h"
#include "TAdapterForm.h"
#include "TEditForm.h"
#include "TFuseForm.h"
#include "TTarvoForm.h"
#include "StoreFactory.h"
#include "TarvoApplication.h"
#include "WindowRunLog.h"

#include <memory>

int main(int argc, char *argv[])
{
    TarvoApplication app(argc, argv);
    MessageBoxPrompter prompter;
    app.setPrompter(&prompter);

    TTarvoForm form(prompter);
    prompter.setParentWidget(&form);
    SecondaryWindows::Factories dialogs;
    dialogs.aboutBox = [](QWidget *parent) { return new TAboutBox(parent); };
    dialogs.editForm = [&form](QWidget *parent) {
        return new TEditForm(form.buffer(), form.selection(), parent);
    };
    dialogs.fuseForm = [&form](QWidget *parent) {
        return new TFuseForm(form.link(), form.selection(), parent);
    };
    dialogs.adapterForm = [](QWidget *parent) { return new TAdapterForm(parent); };
    form.createSecondaryWindows(dialogs);
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
