#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <cstdio>

// A one-line progress bar on a terminal, redrawn in place. A transfer moves
// it at every byte; it is drawn at most every RedrawMs so the terminal is
// not flooded, and always when it reaches the end.
class TerminalProgress
{
public:
    static constexpr int RedrawMs = 50;
    static constexpr int BarWidth = 30;

    explicit TerminalProgress(std::FILE *out) : m_out(out) {}

    void show(const QString &text, int value, int minimum, int maximum, bool force = false);
    // Erases the bar so that a normal line can be printed.
    void clear();
    bool visible() const { return m_visible; }

    // "[#####-----]  50% text"; the text alone when the range is empty.
    static QByteArray render(const QString &text, int value, int minimum, int maximum);

private:
    std::FILE *m_out;
    QElapsedTimer m_lastDraw;
    bool m_visible = false;
};
