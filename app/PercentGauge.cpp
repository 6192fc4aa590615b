#include "PercentGauge.h"

#include <QPalette>
#include <algorithm>

PercentGauge::PercentGauge(QWidget *parent)
    : QProgressBar(parent)
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
    // Assistive technology reads the percentage shown, not the raw progress.
    connect(this, &QProgressBar::valueChanged, this, [this] { describe(); });
    describe();
}

void PercentGauge::setProgress(int progress)
{
    setValue(std::clamp(progress, minimum(), maximum()));
}

void PercentGauge::setGaugeRange(int minimum, int maximum)
{
    if (maximum < minimum)
        maximum = minimum;
    // QProgressBar resets a value that falls outside a new range; the gauge
    // keeps it at the nearest end instead.
    const int kept = value();
    setRange(minimum, maximum);
    setValue(std::clamp(kept, minimum, maximum));
    describe();
}

void PercentGauge::describe()
{
    // The value moves at every byte of a transfer, the percentage shown only
    // a hundred times: the description follows the percentage.
    const int shown = percent();
    if (shown == m_described)
        return;
    m_described = shown;
    setAccessibleDescription(text());
}

int PercentGauge::percent() const
{
    const qint64 span = qint64(maximum()) - minimum();
    if (span <= 0)
        return 0;
    return int((qint64(value()) - minimum()) * 100 / span);
}

QString PercentGauge::text() const
{
    return QString::number(percent()) + QLatin1Char('%');
}
