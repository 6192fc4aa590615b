#include "ProgramDialogs.h"

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
    dialogs.fuseForm = [&form](QWidget *parent) { return new TFuseForm(form.link(), form.selection(), parent); };
    dialogs.adapterForm = [](QWidget *parent) { return new TAdapterForm(parent); };
    return dialogs;
}
