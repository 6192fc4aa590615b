#include "ProgramDialogs.h"

#include "SpokenLabel.h"
#include "TAboutBox.h"
#include "TAdapterForm.h"
#include "TEditForm.h"
#include "TFuseForm.h"
#include "TTarvoForm.h"

SecondaryWindows::Factories programDialogs(TTarvoForm &form)
{
    SecondaryWindows::Factories dialogs;
    dialogs.aboutBox = [](QWidget *parent) { return new TAboutBox(parent); };
    dialogs.editForm = [&form](QWidget *parent) { return new TEditForm(form.buffer(), form.selection(), parent); };
    dialogs.fuseForm = [&form](QWidget *parent) {
        auto *fuse = new TFuseForm(form.link(), form.selection(), parent);
        // The Result changes at each step of an exchange: told as the status
        // lines are, at most every 100 ms and the last change always.
        fuse->setResultAnnouncer(&SpokenLabel::textChanged);
        return fuse;
    };
    dialogs.adapterForm = [](QWidget *parent) { return new TAdapterForm(parent); };
    return dialogs;
}
