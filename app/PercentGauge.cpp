#include "PercentGauge.h"

#include "AnnouncePacer.h"

#include <QPalette>
#include <QStyleOptionProgressBar>
#include <QStylePainter>
#include <algorithm>

PercentGauge::PercentGauge(QWidget *parent)
    : QProgressBar(parent)
    , m_pacer(new AnnouncePacer([this] { tell(); }, this))
{
    setOrientation(Qt::Horizontal);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    QPalette pal = palette();
    pal.setColor(QPalette::Highlight, QColor(0, 0, 255));
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    pal.setColor(QPalette::HighlightedText, Qt::white);
    setPalette(pal);
    setRange(0, 100);
    setValue(0);
    tell();
}

void PercentGauge::setProgress(int progress)
{
    progress = std::clamp(progress, minimum(), maximum());
    if (progress == m_progress)
        return;
    m_progress = progress;
    update();
    m_pacer->changed();
}

void PercentGauge::setGaugeRange(int minimum, int maximum)
{
    if (maximum < minimum)
        maximum = minimum;
    // QProgressBar resets a value that falls outside a new range; the gauge
    // keeps it at the nearest end instead.
    setRange(minimum, maximum);
    m_progress = std::clamp(m_progress, minimum, maximum);
    update();
    m_pacer->changed();
}

void PercentGauge::flushAnnouncement()
{
    m_pacer->flush();
}

void PercentGauge::tell()
{
    // QProgressBar's value is what assistive technology reads: each change
    // of it is one value event.
    setValue(m_progress);
    setAccessibleDescription(text());
}

void PercentGauge::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.progress = m_progress;
    option.text = text();
    painter.drawControl(QStyle::CE_ProgressBar, option);
}

int PercentGauge::percent() const
{
    const qint64 span = qint64(maximum()) - minimum();
    if (span <= 0)
        return 0;
    return int((qint64(m_progress) - minimum()) * 100 / span);
}

QString PercentGauge::text() const
{
    return QString::number(percent()) + QLatin1Char('%');
}
