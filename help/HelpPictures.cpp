#include "HelpPictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace HelpPictures {

namespace {

constexpr int SocketPinsPerRow = 20;

QFont pixelFont(int pixels, bool bold = false)
{
    QFont f(QStringLiteral("Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// A 40-pin DIP device lying in the socket, pin 1 at the left.
void drawDevice(QPainter &p, const QRectF &body)
{
    const qreal pitch = body.width() / SocketPinsPerRow;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc8, 0xc8, 0xc8));
    for (int i = 0; i < SocketPinsPerRow; ++i) {
        const qreal x = body.left() + i * pitch + pitch * 0.3;
        p.drawRect(QRectF(x, body.top() - 3, pitch * 0.4, 3));
        p.drawRect(QRectF(x, body.bottom(), pitch * 0.4, 3));
    }
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, QColor(0x3a, 0x3a, 0x3a));
    shade.setColorAt(1, QColor(0x10, 0x10, 0x10));
    p.setBrush(shade);
    p.drawRoundedRect(body, 1.5, 1.5);
    const qreal notch = body.height() * 0.22;
    p.setBrush(QColor(0x05, 0x05, 0x05));
    p.drawPie(QRectF(body.left() - notch, body.center().y() - notch, 2 * notch, 2 * notch), -90 * 16, 180 * 16);
    p.setBrush(QColor(0x55, 0x55, 0x55));
    p.drawEllipse(QPointF(body.left() + notch * 1.8, body.bottom() - notch * 0.9), notch * 0.35, notch * 0.35);
    p.setPen(QColor(0xf0, 0xf0, 0xf0));
    p.setFont(pixelFont(qMax(6, int(body.height() * 0.32)), true));
    p.drawText(body, Qt::AlignCenter, QStringLiteral("AT90S8535"));
}

// The adapter board inside r; with a device in its socket when asked.
void drawAdapter(QPainter &p, const QRectF &r, bool withDevice)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient pcb(r.topLeft(), r.bottomRight());
    pcb.setColorAt(0, QColor(0x2f, 0x8a, 0x3e));
    pcb.setColorAt(1, QColor(0x1b, 0x5e, 0x27));
    p.setPen(QPen(QColor(0x0f, 0x3d, 0x17), 1));
    p.setBrush(pcb);
    p.drawRoundedRect(r, r.width() * 0.04, r.width() * 0.04);

    // Mounting holes and the traces from the socket to the edge pins.
    const qreal hole = r.width() * 0.03;
    p.setBrush(QColor(0xd4, 0xaf, 0x37));
    p.setPen(QPen(QColor(0x8a, 0x6d, 0x10), 1));
    for (const QPointF &c : {r.topLeft() + QPointF(hole * 2.2, hole * 2.2), r.topRight() + QPointF(-hole * 2.2, hole * 2.2),
                             r.bottomLeft() + QPointF(hole * 2.2, -hole * 2.2),
                             r.bottomRight() + QPointF(-hole * 2.2, -hole * 2.2)}) {
        p.drawEllipse(c, hole, hole);
    }

    const QRectF socket(r.left() + r.width() * 0.1, r.top() + r.height() * 0.22, r.width() * 0.8, r.height() * 0.48);
    const qreal pitch = socket.width() / SocketPinsPerRow;
    p.setPen(QPen(QColor(0x9c, 0xd6, 0x9f), 1));
    for (int i = 0; i < SocketPinsPerRow; i += 2) {
        const qreal x = socket.left() + (i + 0.5) * pitch;
        p.drawLine(QPointF(x, socket.bottom()), QPointF(x, r.bottom() - r.height() * 0.1));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd4, 0xaf, 0x37));
    for (int i = 0; i < SocketPinsPerRow; i += 2) {
        const qreal x = socket.left() + (i + 0.5) * pitch;
        p.drawEllipse(QPointF(x, r.bottom() - r.height() * 0.1), pitch * 0.35, pitch * 0.35);
    }

    // The ZIF socket: body, two rows of contacts, the lever along its top.
    QLinearGradient body(socket.topLeft(), socket.bottomLeft());
    body.setColorAt(0, QColor(0x4a, 0x84, 0xd0));
    body.setColorAt(1, QColor(0x23, 0x52, 0x96));
    p.setPen(QPen(QColor(0x15, 0x30, 0x5a), 1));
    p.setBrush(body);
    p.drawRect(socket);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x10, 0x1c, 0x30));
    const qreal slot = qMax<qreal>(1.5, pitch * 0.45);
    for (int i = 0; i < SocketPinsPerRow; ++i) {
        const qreal x = socket.left() + (i + 0.5) * pitch - slot / 2;
        p.drawRect(QRectF(x, socket.top() + socket.height() * 0.12, slot, slot * 1.3));
        p.drawRect(QRectF(x, socket.bottom() - socket.height() * 0.12 - slot * 1.3, slot, slot * 1.3));
    }
    p.setPen(QPen(QColor(0xe0, 0xe0, 0xe0), qMax<qreal>(1.5, r.height() * 0.025), Qt::SolidLine, Qt::RoundCap));
    const qreal leverY = socket.top() - r.height() * 0.05;
    p.drawLine(QPointF(socket.left() - r.width() * 0.02, leverY), QPointF(socket.right(), leverY));
    p.drawLine(QPointF(socket.left() - r.width() * 0.02, leverY),
               QPointF(socket.left() - r.width() * 0.06, leverY - r.height() * 0.12));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc0, 0x28, 0x28));
    p.drawEllipse(QPointF(socket.left() - r.width() * 0.06, leverY - r.height() * 0.12), r.height() * 0.035,
                  r.height() * 0.035);

    if (withDevice) {
        drawDevice(p, socket.adjusted(pitch * 0.1, socket.height() * 0.2, -pitch * 0.1, -socket.height() * 0.2));
    } else {
        p.setPen(QColor(0xf4, 0xf4, 0xf4));
        p.setFont(pixelFont(qMax(6, int(r.height() * 0.08))));
        p.drawText(QRectF(socket.left(), socket.bottom() + 1, socket.width(), r.height() * 0.12), Qt::AlignCenter,
                   QStringLiteral("40-PIN ZIF"));
    }
    p.restore();
}

} // namespace

QPixmap adapterBoard(QSize size)
{
    QPixmap pm(size);
    pm.fill(QColor(0xf2, 0xf0, 0xeb));
    QPainter p(&pm);
    drawAdapter(p, QRectF(4, 6, size.width() - 8, size.height() - 12), false);
    return pm;
}

QPixmap programmerWithAdapter(QSize size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width(), h = size.height();

    QLinearGradient desk(0, 0, 0, h);
    desk.setColorAt(0, QColor(0xf4, 0xf4, 0xf2));
    desk.setColorAt(1, QColor(0xcf, 0xcf, 0xca));
    p.fillRect(QRectF(0, 0, w, h), desk);

    // Serial cable leaving the case on the left.
    QPainterPath cable;
    cable.moveTo(w * 0.06, h * 0.36);
    cable.cubicTo(w * 0.0, h * 0.3, w * 0.02, h * 0.08, w * 0.12, 0);
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), h * 0.035, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(cable);

    const QRectF top(w * 0.06, h * 0.16, w * 0.9, h * 0.7);
    const QRectF front(top.left(), top.bottom() - 2, top.width(), h * 0.1);
    p.setPen(QPen(QColor(0x55, 0x55, 0x50), 1));
    p.setBrush(QColor(0x9a, 0x9a, 0x90));
    p.drawRoundedRect(front, 4, 4);
    QLinearGradient lid(top.topLeft(), top.bottomLeft());
    lid.setColorAt(0, QColor(0xdc, 0xdc, 0xd2));
    lid.setColorAt(1, QColor(0xbc, 0xbc, 0xb2));
    p.setBrush(lid);
    p.drawRoundedRect(top, 6, 6);

    // The serial connector on the case's left edge.
    p.setBrush(QColor(0x8c, 0x8c, 0x8c));
    p.drawRect(QRectF(top.left() - w * 0.03, h * 0.3, w * 0.045, h * 0.12));

    // Name plate and lamps.
    const QRectF plate(top.left() + w * 0.04, top.top() + h * 0.06, w * 0.24, h * 0.2);
    p.setBrush(QColor(0x1f, 0x3a, 0x68));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(plate, 3, 3);
    p.setPen(Qt::white);
    p.setFont(pixelFont(int(h * 0.075), true));
    p.drawText(plate.adjusted(0, 2, 0, -plate.height() * 0.4), Qt::AlignCenter, QStringLiteral("TARVO"));
    p.setFont(pixelFont(qMax(6, int(h * 0.035))));
    p.drawText(plate.adjusted(0, plate.height() * 0.55, 0, 0), Qt::AlignCenter, QStringLiteral("PROGRAMMER"));

    const struct { const char *name; QColor color; } lamps[] = {
        {"POWER", QColor(0x2e, 0xcc, 0x40)},
        {"BUSY", QColor(0xff, 0xb0, 0x20)},
    };
    for (int i = 0; i < 2; ++i) {
        const QPointF c(plate.left() + w * 0.035, plate.bottom() + h * 0.1 + i * h * 0.1);
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
        p.setBrush(lamps[i].color);
        p.drawEllipse(c, h * 0.022, h * 0.022);
        p.setPen(QColor(0x30, 0x30, 0x30));
        p.setFont(pixelFont(qMax(6, int(h * 0.045))));
        p.drawText(QPointF(c.x() + h * 0.05, c.y() + h * 0.017), QString::fromLatin1(lamps[i].name));
    }

    // The programmer's own socket, seen around the adapter fitted into it.
    const QRectF ownSocket(w * 0.4, h * 0.52, w * 0.42, h * 0.2);
    p.setPen(QPen(QColor(0x70, 0x60, 0x40), 1));
    p.setBrush(QColor(0xd8, 0xc9, 0x9a));
    p.drawRect(ownSocket);

    const QRectF adapter(w * 0.34, h * 0.22, w * 0.58, h * 0.45);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(adapter.translated(3, 4), 4, 4);
    drawAdapter(p, adapter, true);
    return pm;
}

QPixmap makerLogo(QSize size)
{
    QPixmap pm(size);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width(), h = size.height();

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(0x1d, 0x4e, 0x9e));
    sky.setColorAt(1, QColor(0x0b, 0x24, 0x52));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(1, 1, w - 2, h - 2), 8, 8);

    // A chip with pins on all four sides.
    const QRectF chip(w * 0.07, h * 0.18, h * 0.42, h * 0.42);
    p.setBrush(QColor(0xd9, 0xd9, 0xd9));
    const int pins = 4;
    const qreal step = chip.width() / pins;
    for (int i = 0; i < pins; ++i) {
        const qreal o = (i + 0.3) * step;
        p.drawRect(QRectF(chip.left() + o, chip.top() - 4, step * 0.4, 4));
        p.drawRect(QRectF(chip.left() + o, chip.bottom(), step * 0.4, 4));
        p.drawRect(QRectF(chip.left() - 4, chip.top() + o, 4, step * 0.4));
        p.drawRect(QRectF(chip.right(), chip.top() + o, 4, step * 0.4));
    }
    p.setBrush(QColor(0x12, 0x12, 0x12));
    p.drawRoundedRect(chip, 2, 2);
    p.setPen(QColor(0xff, 0xc4, 0x2e));
    p.setFont(pixelFont(int(chip.height() * 0.7), true));
    p.drawText(chip, Qt::AlignCenter, QStringLiteral("T"));

    p.setPen(Qt::white);
    p.setFont(pixelFont(int(h * 0.21), true));
    const QRectF name(chip.right() + w * 0.06, h * 0.14, w - chip.right() - w * 0.08, h * 0.32);
    p.drawText(name, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("TARVO"));
    p.setFont(pixelFont(qMax(6, int(h * 0.1))));
    p.drawText(QRectF(name.left(), name.bottom(), name.width(), h * 0.14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("ELECTRONICS"));

    // Signal trace under the name.
    QPainterPath wave;
    wave.moveTo(w * 0.07, h * 0.82);
    for (int i = 0; i < 6; ++i) {
        const qreal x = w * 0.07 + i * w * 0.145;
        wave.lineTo(x + w * 0.07, h * 0.82);
        wave.lineTo(x + w * 0.07, h * 0.72);
        wave.lineTo(x + w * 0.145, h * 0.72);
        wave.lineTo(x + w * 0.145, h * 0.82);
    }
    p.setPen(QPen(QColor(0xff, 0x4a, 0x3a), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    return pm;
}

} // namespace HelpPictures
