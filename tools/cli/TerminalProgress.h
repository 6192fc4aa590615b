#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <cstdio>

// A one-line progress bar on a terminal, redrawn in place. A transfer moves
// it at every byte; it is drawn at most every RedrawMs so the terminal is
// not flooded, and always when it reaches the end. Each redraw asks the
// terminal for its width, so the line follows a resize and never wraps; the
// time since the bar appeared follows the percentage, and the bar is left on
// its line with the whole duration once it is done. While a step waits
// without moving (an erase takes seconds), the time still counts on screen.
class TerminalProgress
{
public:
    static constexpr int RedrawMs = 50;
    static constexpr int BarWidth = 30;
    // Narrower than this the bar is left out and only the numbers remain.
    static constexpr int MinBarWidth = 10;
    static constexpr int DefaultColumns = 80;
    static constexpr int TickMs = 100;

    explicit TerminalProgress(std::FILE *out);

    void show(const QString &text, int value, int minimum, int maximum, bool force = false);
    // Ends the bar's line (kept, with its duration) so that a normal line
    // can be printed.
    void clear();
    bool visible() const { return m_visible; }

    // "[#####-----]  50% text 1.2s" in fewer than columns characters: the
    // bar shrinks first, then goes, then the text is cut. Without a range
    // the percentage and the bar are left out. elapsedMs < 0: no time.
    static QByteArray render(const QString &text, int value, int minimum, int maximum, int columns = DefaultColumns,
                             qint64 elapsedMs = -1);
    // "0.4s", "12.3s", "2m05s".
    static QByteArray duration(qint64 ms);
    // The width of the terminal on fd; 0 when it is not a terminal.
    static int terminalColumns(int fd);

private:
    void draw(const char *end);

    std::FILE *m_out;
    QElapsedTimer m_lastDraw;
    QElapsedTimer m_started;
    QTimer m_tick;
    bool m_visible = false;
    QString m_text;
    int m_value = 0;
    int m_minimum = 0;
    int m_maximum = 0;
};
