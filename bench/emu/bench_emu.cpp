// Read of the largest device (320 blocks) through the emulator, unpaced and
// paced at the line rate: wall time, per-block time and the CPU it costs.
#include "LineClient.h"
#include "ProgrammerEmulator.h"

#include <QElapsedTimer>
#include <cstdio>
#include <ctime>

namespace {

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void run(bool paced)
{
    constexpr int Blocks = 320;
    ProgrammerEmulator emu;
    emu.setPaced(paced);
    if (!emu.start())
        return;
    LineClient line(emu.slavePath());
    const double cpu0 = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    line.write(LineClient::frame("06000003"));
    qint64 chars = 0;
    for (int b = 0; b < Blocks; ++b) {
        chars += line.read(130, 3000).size();
        line.write(b + 1 < Blocks ? "\x11" : "\x13");
    }
    chars += line.read(1, 3000).size();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    const double cpu = cpuSeconds() - cpu0;
    // One after the other on the line: 13 frame bytes, then per block 130
    // characters out and a DC1 (DC3) in, then the ACK.
    const double lineMs = double(13 + Blocks * 131 + 1) * double(ProgrammerEmulator::ByteTimeNs) / 1e6;
    std::printf("%-8s %6lld chars  %8.1f ms  %6.3f ms/block  line time %7.1f ms  cpu %5.3f s (%4.1f %%)\n",
                paced ? "paced" : "unpaced", (long long)chars, ms, ms / Blocks, lineMs, cpu, 100.0 * cpu / (ms / 1e3));
}

} // namespace

int main()
{
    run(false);
    run(true);
    return 0;
}
