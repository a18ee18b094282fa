#include "app/TrayIcons.h"

#include "engine/CodeSources.h"
#include "state/AppState.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tessary {

namespace {

const QColor normalColour(0x33, 0x3A, 0x48);
const QColor developerColour(0xE8, 0x7A, 0x00);

// A filled shape in `colour` with the glyph cut out in white, at `size` pixels square.
QPixmap draw(TrayStatus status, const QColor& colour, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    const QRectF body = status == TrayStatus::paused ? QRectF(1, 6, 30, 20) : QRectF(3, 3, 26, 26);
    QPainterPath shape;
    shape.addRoundedRect(body, 6, 6);
    painter.fillPath(shape, colour);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    switch (status) {
    case TrayStatus::ready:
        // A number sign: two slanted uprights and two bars.
        painter.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(13.5, 8.5), QPointF(11.5, 23.5));
        painter.drawLine(QPointF(20.5, 8.5), QPointF(18.5, 23.5));
        painter.drawLine(QPointF(8.5, 13), QPointF(23.5, 13));
        painter.drawLine(QPointF(8, 19), QPointF(23, 19));
        break;
    case TrayStatus::paused:
        painter.drawRoundedRect(QRectF(11, 10, 3.5, 12), 1, 1);
        painter.drawRoundedRect(QRectF(17.5, 10, 3.5, 12), 1, 1);
        break;
    case TrayStatus::needsSetup:
        painter.drawRoundedRect(QRectF(14.3, 7.5, 3.4, 11.5), 1.5, 1.5);
        painter.drawEllipse(QPointF(16, 23), 2, 2);
        break;
    }
    return pixmap;
}

QIcon iconIn(TrayStatus status, const QColor& colour)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(draw(status, colour, size));
    return icon;
}

} // namespace

TrayStatus trayStatusFor(const AppState& state, const SmsSource* phones)
{
    if (!hasCodeSource(state, phones) || !state.accessibility())
        return TrayStatus::needsSetup;
    return state.isPaused() ? TrayStatus::paused : TrayStatus::ready;
}

QIcon trayIcon(TrayStatus status, bool developerBuild)
{
    return iconIn(status, developerBuild ? developerColour : normalColour);
}

QIcon applicationIcon()
{
    // The installed icon (data/tessary.svg): code boxes on blue, clear on a dark window and a
    // light one alike, and the same mark in the window list as in the launcher.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 96, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 128.0, size / 128.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x0A, 0x7A, 0xFF));
        painter.drawRoundedRect(QRectF(8, 8, 112, 112), 26, 26);
        const auto white = [&painter](const QRectF& box, qreal radius, qreal opacity) {
            painter.setOpacity(opacity);
            painter.setBrush(Qt::white);
            painter.drawRoundedRect(box, radius, radius);
        };
        white(QRectF(22, 50, 24, 30), 5, 1);
        white(QRectF(52, 50, 24, 30), 5, 1);
        white(QRectF(82, 50, 24, 30), 5, 0.55);
        white(QRectF(22, 88, 84, 6), 3, 0.8);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tessary
