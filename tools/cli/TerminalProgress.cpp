#include "TerminalProgress.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

TerminalProgress::TerminalProgress(std::FILE *out)
    : m_out(out)
{
    m_tick.setInterval(TickMs);
    m_tick.callOnTimeout([this] {
        if (m_lastDraw.isValid() && m_lastDraw.elapsed() >= TickMs) {
            m_lastDraw.start();
            draw("");
        }
    });
}

QByteArray TerminalProgress::duration(qint64 ms)
{
    const qint64 tenths = std::max<qint64>(0, ms) / 100;
    if (tenths < 600)
        return QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10) + 's';
    const qint64 seconds = tenths / 10;
    return QByteArray::number(seconds / 60) + 'm' + QByteArray::number(seconds % 60).rightJustified(2, '0') + 's';
}

QByteArray TerminalProgress::render(const QString &text, int value, int minimum, int maximum, int columns,
                                    qint64 elapsedMs)
{
    // The last column stays free: writing into it wraps on many terminals.
    const int room = std::max(1, columns - 1);
    const QByteArray time = elapsedMs < 0 ? QByteArray() : ' ' + duration(elapsedMs);
    QByteArray label = text.toLocal8Bit();
    QByteArray numbers;
    int barWidth = 0;
    int filled = 0;
    if (maximum > minimum) {
        const qint64 span = qint64(maximum) - minimum;
        const qint64 done = std::clamp<qint64>(qint64(value) - minimum, 0, span);
        // The gauge shows the last address sent, so the end counts as complete.
        numbers = QByteArray::number(done * 100 / span).rightJustified(3, ' ') + "% ";
        barWidth = std::min<int>(BarWidth, room - 3 - int(numbers.size() + label.size() + time.size()));
        if (barWidth < MinBarWidth)
            barWidth = 0;
        filled = int(done * barWidth / span);
    }
    const int fixed = int(numbers.size() + time.size()) + (barWidth > 0 ? barWidth + 3 : 0);
    label.truncate(std::max(0, room - fixed));
    QByteArray out;
    if (barWidth > 0)
        out += '[' + QByteArray(filled, '#') + QByteArray(barWidth - filled, '-') + "] ";
    out += numbers + label + time;
    return out.left(room);
}

int TerminalProgress::terminalColumns(int fd)
{
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

void TerminalProgress::draw(const char *end)
{
    int columns = terminalColumns(::fileno(m_out));
    if (columns <= 0)
        columns = DefaultColumns;
    const QByteArray line = "\r" + render(m_text, m_value, m_minimum, m_maximum, columns, m_started.elapsed())
                            + "\x1b[K" + end;
    std::fwrite(line.constData(), 1, size_t(line.size()), m_out);
    std::fflush(m_out);
}

void TerminalProgress::show(const QString &text, int value, int minimum, int maximum, bool force)
{
    // A new bar (a new range, or after a clear) counts its own time.
    if (!m_visible || minimum != m_minimum || maximum != m_maximum)
        m_started.start();
    m_text = text;
    m_value = value;
    m_minimum = minimum;
    m_maximum = maximum;
    m_visible = true;
    if (!m_tick.isActive())
        m_tick.start();
    if (!force && value < maximum && m_lastDraw.isValid() && m_lastDraw.elapsed() < RedrawMs)
        return;
    m_lastDraw.start();
    draw("");
}

void TerminalProgress::clear()
{
    if (!m_visible)
        return;
    m_tick.stop();
    draw("\n");
    m_visible = false;
    m_lastDraw.invalidate();
}
