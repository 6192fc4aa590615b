#include "BenchView.h"

void BenchView::setStatusLine(int line, const QString &text)
{
    m_lines[line] = text;
    ++updates;
    if (!clock.isValid() || text.isEmpty())
        return;
    lastTextNs = clock.nsecsElapsed();
    if (firstByteNs < 0 && !progressPrefix.isEmpty() && text.startsWith(progressPrefix))
        firstByteNs = lastTextNs;
}
