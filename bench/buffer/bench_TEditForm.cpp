// Time to open the hex viewer on a full buffer (4096 lines): show, build the
// listing, lay it out and paint the first screen. Prints the median of
// several openings; run on the offscreen platform.
#include "HexListing.h"
#include "MemoryBuffer.h"
#include "SelectionState.h"
#include "TEditForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char *what, const std::vector<double> &ms)
{
    std::printf("%-34s median %7.2f ms  min %7.2f ms  max %7.2f ms  (%zu runs)\n", what, median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), ms.size());
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;

    MemoryBuffer buffer;
    for (int a = 0; a < MemoryBuffer::Size; ++a)
        buffer.set(uint16_t(a), uint8_t(QRandomGenerator::global()->bounded(256)));
    buffer.BufferEnd = 0xFFFF;
    const SelectionState noDevice;

    // Created once, as the program does at start-up.
    TEditForm form(buffer, noDevice);
    std::vector<double> open, listing;
    qsizetype listed = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        form.show();
        form.repaint();
        QCoreApplication::processEvents();
        open.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (form.TextDisplay->document()->blockCount() != 4096) {
            std::fprintf(stderr, "expected 4096 lines, got %d\n", form.TextDisplay->document()->blockCount());
            return 1;
        }
        form.hide();
        QCoreApplication::processEvents();

        timer.restart();
        listed += HexListing::text(buffer, buffer.BufferEnd).size();
        listing.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    report("open viewer, 4096 lines", open);
    report("build listing text alone", listing);
    if (listed != qsizetype(runs) * (4096 * 74 - 1))
        return 1;
    return 0;
}
