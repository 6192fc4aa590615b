// CPU used by the program while it waits for a reply that does not come:
// the 15-second limit of the single-reply commands, on a silent line.
#include "ProgrammerLink.h"
#include "PtyPair.h"
#include "ScriptedPrompter.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

static double cpuSeconds()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int waitMs = argc > 1 ? std::atoi(argv[1]) : 15000;
    PtyPair pty;
    ScriptedPrompter prompter;
    ProgrammerLink link(prompter);
    link.port().setDevicePath(pty.slavePath());
    if (!link.port().open()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(pty.slavePath()));
        return 1;
    }
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    uint8_t b;
    const bool got = link.ReadByte(b, waitMs);
    const double cpu = cpuSeconds() - cpu0;
    const double seconds = wall.elapsed() / 1000.0;
    std::printf("wait of %d ms: byte=%s wall=%.3f s cpu=%.4f s (%.3f%% of one core)\n", waitMs, got ? "yes" : "no",
                seconds, cpu, 100.0 * cpu / seconds);
    return 0;
}
