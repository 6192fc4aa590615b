#pragma once

#include "RunListener.h"

#include <QString>
#include <array>

class CliOutput;

// The run of a device command as lines of text or JSON events. A status
// line is printed once it shows an outcome ("Erase.........Pass",
// "Command......Abort"); running texts and the per-byte addresses of a
// transfer ("Program.......03FF") only move the progress bar, and in JSON
// each finished block is an event.
class CliRunView : public RunListener
{
public:
    explicit CliRunView(CliOutput &output) : m_output(output) {}

    void commandArmed(const DeviceCommand &command) override;
    void runStarted(const DeviceCommand &command) override;
    void stepStarted(const RunStep &step) override;
    void progress(uint16_t address, int done, int total) override;
    void stepEnded(const RunStep &step, const StepEnd &end) override;
    void commandLeft() override;

private:
    static constexpr int Lines = 6;
    // What moves on the bar: a step's running text, or a transfer's address.
    enum class Moving { No, Running, Address };

    void print(int line, const QString &text);
    void forgetPrinted() { m_printed.fill(QString()); }
    void move(const QString &text, Moving kind);
    void setGauge(int progress);

    CliOutput &m_output;
    std::array<QString, Lines> m_printed;
    QString m_prefix;
    QString m_moving;
    Moving m_movingKind = Moving::No;
    int m_maximum = 0;
    int m_progress = 0;
};
