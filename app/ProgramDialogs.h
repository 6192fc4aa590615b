#pragma once

#include "SecondaryWindows.h"

class TTarvoForm;
class WindowRunLog;

// The program's own dialogs for form: the about box, the buffer viewer and
// the fuse editor on the form's buffer, selection and link, and the adapter
// notice. The program, its window tests and its screenshots use the same.
SecondaryWindows::Factories programDialogs(TTarvoForm &form);

// Each write of form's fuse editor is kept by log: not started when its
// record cannot be kept, recorded when it went out.
void recordFuseWrites(TTarvoForm &form, WindowRunLog &log);
