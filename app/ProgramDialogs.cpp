#include "ProgramDialogs.h"

#include "SpokenLabel.h"
#include "TAboutBox.h"
#include "TAdapterForm.h"
#include "TEditForm.h"
#include "TFuseForm.h"
#include "TTarvoForm.h"
#include "WindowRunLog.h"

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

void recordFuseWrites(TTarvoForm &form, WindowRunLog &log)
{
    auto *fuse = qobject_cast<TFuseForm *>(form.secondaryWindows().fuseForm());
    if (!fuse)
        return;
    fuse->setWriteGuard([&log] { return log.fuseMayWrite(); });
    // The log lives as long as the window: main keeps both to the end.
    QObject::connect(fuse, &TFuseForm::fuseWritten, fuse,
                     [&log](quint8 value, bool passed, const QString &result) { log.fuseWritten(value, passed, result); });
}
