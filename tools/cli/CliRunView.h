#pragma once

#include "RunView.h"

#include <QString>
#include <array>
#include <functional>

class CliOutput;

// The window's run display as lines of text. A status line is printed once
// it settles on an outcome ("Erase.........Pass", "Command......Abort");
// running texts and the per-byte addresses of a transfer ("Program.......03FF")
// only move the progress bar, and in JSON each finished block is an event.
class CliRunView : public RunView
{
public:
    explicit CliRunView(CliOutput &output) : m_output(output) {}

    // Called when a run has passed and the command waits for Run again.
    std::function<void()> onPassed;

    // A running text ("Erase.....") or a transfer address ("Program.......03FF")
    // is shown while it moves and never printed as a line.
    enum class Moving { No, Running, Address };
    static Moving movingKind(const QString &text);

    void setCommandCaption(const QString &caption, bool armed) override;
    void setStatusLine(int line, const QString &text) override;
    QString statusLine(int line) const override;

    void setGaugeVisible(bool visible) override;
    void setGaugeRange(int minimum, int maximum) override;
    void setGaugeProgress(int progress) override;

    void setRunEnabled(bool enabled) override;
    bool runEnabled() const override { return m_runEnabled; }
    void setStopButton(const QString &caption, bool enabled) override;
    void setResetEnabled(bool) override {}
    void focusRun() override {}
    void focusStop() override {}
    void focusAfterFailure() override {}
    void showCounts(uint8_t, uint8_t) override {}
    void setWindowLocked(bool) override {}
    void showBufferInfo(const QString &, const QString &) override {}
    void clearFileName() override {}
    void enableBufferCommands() override {}

private:
    static constexpr int Lines = 6;
    bool validLine(int line) const { return line >= 1 && line <= Lines; }

    CliOutput &m_output;
    std::array<QString, Lines> m_lines;
    std::array<QString, Lines> m_printed;
    QString m_moving;
    Moving m_movingKind = Moving::No;
    int m_minimum = 0;
    int m_maximum = 0;
    int m_progress = 0;
    bool m_runEnabled = false;
    bool m_running = false;
};
