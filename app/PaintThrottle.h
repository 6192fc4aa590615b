#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

// Holds back the painting of widgets whose content changes faster than a
// screen can show it (a status line and the gauge change at every byte of a
// transfer). The first change paints at once and opens a frame; widgets
// changed again within the frame stop painting until it ends and are then
// painted once with their latest content. Their texts and values stay
// current all the time; only the painting is coalesced.
class PaintThrottle : public QObject
{
    Q_OBJECT
public:
    static constexpr int FrameMs = 16;

    explicit PaintThrottle(QObject *parent = nullptr);

    // Call right before changing the content of w.
    void aboutToChange(QWidget *w);
    // Paints every held widget now.
    void flush();

    bool holding(const QWidget *w) const;

private:
    void endFrame();

    QTimer m_frame;
    QList<QPointer<QWidget>> m_held;
};
