#include "MessageBoxPrompter.h"
#include "TTarvoForm.h"
#include "TarvoApplication.h"

int main(int argc, char *argv[])
{
    TarvoApplication app(argc, argv);
    MessageBoxPrompter prompter;
    app.setPrompter(&prompter);

    TTarvoForm form(prompter);
    prompter.setParentWidget(&form);
    // About box, buffer viewer, fuse editor, adapter notice, in this order.
    SecondaryWindows::Factories dialogs;
    form.createSecondaryWindows(dialogs);
    form.show();
    return app.exec();
}
