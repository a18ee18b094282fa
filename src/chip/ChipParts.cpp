#include "chip/ChipParts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace tessary {

namespace {

// The accent blue of the chip's buttons, as sRGB.
QColor accentColor(bool pressed)
{
    return QColor::fromRgbF(0.04f, 0.48f, 1.0f, pressed ? 0.8f : 1.0f);
}

// Lays `text` out in lines no wider than `width` and answers the height the lines take.
qreal layOut(QTextLayout& layout, int width)
{
    QTextOption option(Qt::AlignLeading);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

QColor withAlpha(QColor color, float alpha)
{
    color.setAlphaF(alpha);
    return color;
}

} // namespace

QFont chipFont(int pixelSize, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QFont chipCodeFont(int pixelSize, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QColor secondaryColor(const QWidget& widget)
{
    return withAlpha(widget.palette().color(QPalette::WindowText), 0.5f);
}

QColor tertiaryColor(const QWidget& widget)
{
    return withAlpha(widget.palette().color(QPalette::WindowText), 0.26f);
}

AccentButton::AccentButton(const QString& label, QWidget* parent)
    : QAbstractButton(parent)
{
    setText(label);
    setFont(chipFont(12, QFont::DemiBold));
    // The chip never takes the keyboard from the application the user types in.
    setFocusPolicy(Qt::NoFocus);
}

QSize AccentButton::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(text()) + 20, 22};
}

void AccentButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.12f), 0.5));
    painter.setBrush(accentColor(isDown()));
    painter.drawRoundedRect(area, 5, 5);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, text());
}

CloseButton::CloseButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setToolTip(QStringLiteral("Dismiss"));
    setAccessibleName(QStringLiteral("Dismiss"));
    setFocusPolicy(Qt::NoFocus);
}

void CloseButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(tertiaryColor(*this), 1.5, Qt::SolidLine, Qt::RoundCap));
    const QPointF centre = QRectF(rect()).center();
    const qreal arm = 3.25; // a 9-pixel cross, as wide as the glyph it stands for
    painter.drawLine(centre + QPointF(-arm, -arm), centre + QPointF(arm, arm));
    painter.drawLine(centre + QPointF(-arm, arm), centre + QPointF(arm, -arm));
}

CheckMark::CheckMark(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(sizeHint());
}

void CheckMark::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(
        QPen(QColor::fromRgbF(0.20f, 0.78f, 0.35f), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(1.5, 6.0);
    tick.lineTo(4.5, 9.0);
    tick.lineTo(9.5, 2.0);
    painter.drawPath(tick);
}

Spinner::Spinner(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(sizeHint());
    m_timer.setInterval(80);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % 8;
        update();
    });
}

void Spinner::showEvent(QShowEvent*)
{
    m_timer.start();
}

void Spinner::hideEvent(QHideEvent*)
{
    m_timer.stop();
}

void Spinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(QRectF(rect()).center());
    const QColor base = palette().color(QPalette::WindowText);
    for (int spoke = 0; spoke < 8; ++spoke) {
        // The spoke at the current step is darkest; the ones behind it fade out.
        const int age = (m_step - spoke + 8) % 8;
        painter.setPen(QPen(withAlpha(base, 0.75f - 0.08f * float(age)), 1.5, Qt::SolidLine, Qt::RoundCap));
        const qreal angle = spoke * M_PI / 4;
        const QPointF direction(std::sin(angle), -std::cos(angle));
        painter.drawLine(direction * 3.0, direction * 5.25);
    }
}

WrappedText::WrappedText(const QString& text, const QFont& font, int widest, QWidget* parent)
    : QLabel(text, parent)
{
    setFont(font);
    setFixedWidth(std::min(int(std::ceil(QFontMetricsF(font).horizontalAdvance(text))), widest));
}

QSize WrappedText::sizeHint() const
{
    QTextLayout layout(text(), font());
    return {width(), int(std::ceil(layOut(layout, width())))};
}

void WrappedText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    QTextLayout layout(text(), font());
    layOut(layout, width());
    layout.draw(&painter, QPointF(0, 0));
}

} // namespace tessary
