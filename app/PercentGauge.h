#pragma once

#include <QProgressBar>

// The progress gauge: a blue bar on white with the percentage written in its
// middle, 100 x (progress - minimum) / (maximum - minimum) rounded down, and
// 0 % when maximum equals minimum. The progress is kept inside the range,
// also when the range is changed under it.
class PercentGauge : public QProgressBar
{
    Q_OBJECT
public:
    explicit PercentGauge(QWidget *parent = nullptr);

    void setProgress(int progress);
    void setGaugeRange(int minimum, int maximum);
    int progress() const { return value(); }
    int percent() const;

    QString text() const override;

private:
    void describe();

    int m_described = -1;
};
