// Cost of a status line and the gauge changed at every byte, on the real
// main window: through the window's drawing of the run's progress events
// (paints held to ~60 a second) and, for comparison, writing the label and gauge directly.
// One processEvents() per byte, as the byte waits do.
#include "DeviceCommand.h"
#include "HexText.h"
#include "PercentGauge.h"
#include "ScriptedPrompter.h"
#include "TTarvoForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include <cstdio>
#include <ctime>

namespace {

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

constexpr int Bytes = 40960;

void run(const char *name, TTarvoForm &form, bool direct)
{
    auto *line = form.findChild<QLabel *>(QStringLiteral("DisplayRun1"));
    auto *gauge = form.findChild<PercentGauge *>(QStringLiteral("PercentRun"));
    PaintCounter counter;
    line->installEventFilter(&counter);
    const DeviceCommand &program = DeviceCommand::get(DeviceCommand::Id::Program);
    const QString prefix = CommandTexts::program().progressPrefix;
    WindowRunDisplay &display = form.runDisplay();
    display.runStarted(program);
    display.stepStarted({&program, &program, 1, &CommandTexts::program(), uint16_t(Bytes - 1)});

    QElapsedTimer clock;
    const std::clock_t cpu0 = std::clock();
    clock.start();
    for (int i = 0; i < Bytes; ++i) {
        if (direct) {
            line->setText(prefix + HexText::HexWordToStr4(uint16_t(i)));
            gauge->setProgress(i);
        } else {
            display.progress(uint16_t(i), i + 1, Bytes);
        }
        QCoreApplication::processEvents();
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    QTest::qWait(50);
    line->removeEventFilter(&counter);
    std::printf("%-22s %8.0f bytes/s  %6.2f s CPU  %6d paints of the line  (line rate 1920 bytes/s)\n", name,
                Bytes / seconds, cpu, counter.paints);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ScriptedPrompter prompter;
    TTarvoForm form(prompter);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    std::printf("%d bytes, one status text and gauge value per byte, platform %s\n", Bytes,
                qPrintable(QGuiApplication::platformName()));
    run("window (throttled)", form, false);
    run("direct widget writes", form, true);
    return 0;
}
