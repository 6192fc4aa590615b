#pragma once

#include "SecondaryWindows.h"

class TTarvoForm;

// The program's own dialogs for form: the about box, the buffer viewer and
// the fuse editor on the form's buffer, selection and link, and the adapter
// notice. The program, its window tests and its screenshots use the same.
SecondaryWindows::Factories programDialogs(TTarvoForm &form);
