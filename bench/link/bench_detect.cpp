// Time of one hardware detection against the emulated unit, with and
// without pacing at the line rate (the 100 ms pause of the frame included).
#include "ProgrammerEmulator.h"
#include "ProgrammerLink.h"
#include "ScriptedPrompter.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

static double detectOnce(bool paced)
{
    ProgrammerEmulator emu;
    emu.setPaced(paced);
    if (!emu.start())
        return -1;
    ScriptedPrompter prompter;
    ProgrammerLink link(prompter);
    link.port().setDevicePath(emu.slavePath());
    if (!link.port().open())
        return -1;
    QElapsedTimer clock;
    clock.start();
    const bool found = link.ReadVersion().has_value();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    return found ? ms : -1;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (bool paced : {false, true}) {
        double best = 1e9, total = 0;
        const int runs = 5;
        for (int i = 0; i < runs; ++i) {
            const double ms = detectOnce(paced);
            if (ms < 0) {
                std::fprintf(stderr, "detection failed\n");
                return 1;
            }
            best = std::min(best, ms);
            total += ms;
        }
        std::printf("detection %s: mean %.1f ms, best %.1f ms over %d runs\n", paced ? "paced at 19200 baud" : "unpaced",
                    total / runs, best, runs);
    }
    return 0;
}
