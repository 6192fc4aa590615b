#include "TerminalProgress.h"

#include <algorithm>

QByteArray TerminalProgress::render(const QString &text, int value, int minimum, int maximum)
{
    if (maximum <= minimum)
        return text.toLocal8Bit();
    const qint64 span = qint64(maximum) - minimum;
    const qint64 done = std::clamp<qint64>(qint64(value) - minimum, 0, span);
    // The gauge shows the last address sent, so the end counts as complete.
    const int percent = int(done * 100 / span);
    const int filled = int(done * BarWidth / span);
    QByteArray out;
    out.reserve(BarWidth + 8 + text.size());
    out += '[';
    out += QByteArray(filled, '#');
    out += QByteArray(BarWidth - filled, '-');
    out += "] ";
    out += QByteArray::number(percent).rightJustified(3, ' ');
    out += "% ";
    out += text.toLocal8Bit();
    return out;
}

void TerminalProgress::show(const QString &text, int value, int minimum, int maximum, bool force)
{
    if (!force && value < maximum && m_lastDraw.isValid() && m_lastDraw.elapsed() < RedrawMs)
        return;
    m_lastDraw.start();
    const QByteArray line = "\r" + render(text, value, minimum, maximum) + "\x1b[K";
    std::fwrite(line.constData(), 1, size_t(line.size()), m_out);
    std::fflush(m_out);
    m_visible = true;
}

void TerminalProgress::clear()
{
    if (!m_visible)
        return;
    std::fputs("\r\x1b[K", m_out);
    std::fflush(m_out);
    m_visible = false;
    m_lastDraw.invalidate();
}
