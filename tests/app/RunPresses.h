#pragma once

#include "CommandRunner.h"
#include "TTarvoForm.h"

#include <QTimer>

namespace WindowDriver {

// Arms a command through its handler and presses Run `runs` times while
// the command stays armed (a run that fails or is refused leaves it by
// itself), then Exit. The presses come from a timer, as the operator's
// would, while the handler's command runs in the event loop.
inline void pressRun(TTarvoForm &form, void (TTarvoForm::*arm)(), int runs)
{
    int pressed = 0;
    QTimer press;
    press.setInterval(5);
    QObject::connect(&press, &QTimer::timeout, &press, [&] {
        CommandRunner &r = form.runner();
        if (!r.active() || r.running() || !form.runEnabled())
            return;
        if (pressed++ < runs)
            form.StartRunClick();
        else
            form.StopRunClick();
    });
    press.start();
    (form.*arm)();
}

} // namespace WindowDriver
