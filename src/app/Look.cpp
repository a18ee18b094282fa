#include "app/Look.h"

#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QStyle>

namespace tessary::look {

QColor secondary(const QPalette& palette)
{
    const QColor text = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    // Halfway between text and background stays readable on light and dark themes alike.
    return QColor((text.red() * 55 + window.red() * 45) / 100,
                  (text.green() * 55 + window.green() * 45) / 100,
                  (text.blue() * 55 + window.blue() * 45) / 100);
}

QColor red(const QPalette& palette)
{
    // Qt 6.4 names no colour scheme; a dark one is a window darker than the text on it.
    const bool dark =
        palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
    return dark ? QColor(0xFF, 0x6B, 0x5E) : QColor(0xD0, 0x30, 0x2A);
}

QColor accent(const QPalette& palette)
{
    return palette.color(QPalette::Highlight);
}

QFont font(const QWidget* widget, int pixelSize, QFont::Weight weight)
{
    QFont result = widget ? widget->font() : QFont();
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    return result;
}

QFont monospace(int pixelSize, QFont::Weight weight)
{
    QFont result = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    return result;
}

void setColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QLabel* label(const QString& text, int pixelSize, const QColor& colour, QWidget* parent, bool wrap)
{
    auto* result = new QLabel(text, parent);
    // Addresses, phone names and servers' errors are shown as written, never read as markup.
    result->setTextFormat(Qt::PlainText);
    result->setFont(font(result, pixelSize));
    setColour(result, colour);
    result->setWordWrap(wrap);
    return result;
}

QWidget* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Mid));
    line->setPalette(palette);
    return line;
}

} // namespace tessary::look

namespace tessary {

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), shownText(),
                          foregroundRole());
}

} // namespace tessary
