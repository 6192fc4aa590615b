#pragma once

#include <QProgressBar>

// The progress gauge: a blue bar on white with the percentage written in its
// middle, 100 x (progress - minimum) / (maximum - minimum) rounded down, and
// 0 % when maximum equals minimum. The progress is kept inside the range,
// also when the range is changed under it. The bar paints the progress at
// once; assistive technology hears of it at most ten times a second
// (AnnouncePacer), the last value always.
class AnnouncePacer;

class PercentGauge : public QProgressBar
{
    Q_OBJECT
public:
    explicit PercentGauge(QWidget *parent = nullptr);

    void setProgress(int progress);
    void setGaugeRange(int minimum, int maximum);
    int progress() const { return m_progress; }
    int percent() const;

    QString text() const override;

    // The value told to assistive technology, held back by the pacing.
    int toldValue() const { return value(); }
    void flushAnnouncement();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void tell();

    int m_progress = 0;
    AnnouncePacer *m_pacer;
};
