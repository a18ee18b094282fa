#include "app/Look.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QStyle>

namespace tessary::look {

namespace {

// Keeps a widget's text in its tone as the palette around it changes. The widget's own palette holds
// the tone's colour, so the tone is taken from the palette the widget would have without it.
class ToneKeeper : public QObject {
    Q_OBJECT
public:
    ToneKeeper(QWidget* widget, Tone tone)
        : QObject(widget)
        , m_widget(widget)
        , m_tone(tone)
    {
        widget->installEventFilter(this);
    }

    void setTone(Tone tone)
    {
        m_tone = tone;
        apply();
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange)
            apply();
        return false;
    }

private:
    void apply()
    {
        const QWidget* around = m_widget->parentWidget();
        const QColor colour = m_tone(around ? around->palette() : QApplication::palette(m_widget));
        QPalette palette = m_widget->palette();
        // Setting the palette comes back here as a change of palette: the second time, nothing changes.
        if (palette.isBrushSet(QPalette::Active, QPalette::WindowText) &&
            palette.color(QPalette::WindowText) == colour)
            return;
        palette.setColor(QPalette::WindowText, colour);
        palette.setColor(QPalette::Text, colour);
        palette.setColor(QPalette::ButtonText, colour);
        m_widget->setPalette(palette);
    }

    QWidget* m_widget;
    Tone m_tone;
};

// Qt 6.4 names no colour scheme; a dark one is a window darker than the text on it.
bool onDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

} // namespace

QColor primary(const QPalette& palette)
{
    return palette.color(QPalette::WindowText);
}

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
    return onDark(palette) ? QColor(0xFF, 0x6B, 0x5E) : QColor(0xC4, 0x2B, 0x26);
}

QColor accent(const QPalette& palette)
{
    return palette.color(QPalette::Highlight);
}

QColor green(const QPalette& palette)
{
    return onDark(palette) ? QColor(0x4C, 0xC8, 0x5E) : QColor(0x1F, 0x7A, 0x2F);
}

QColor orange(const QPalette& palette)
{
    return onDark(palette) ? QColor(0xF0, 0xA0, 0x30) : QColor(0xA0, 0x50, 0x00);
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

void setColour(QWidget* widget, Tone tone)
{
    auto* keeper = widget->findChild<ToneKeeper*>(QString(), Qt::FindDirectChildrenOnly);
    if (!keeper)
        keeper = new ToneKeeper(widget, tone);
    keeper->setTone(tone);
}

QLabel* label(const QString& text, int pixelSize, Tone tone, QWidget* parent, bool wrap)
{
    auto* result = new QLabel(text, parent);
    // Addresses, phone names and servers' errors are shown as written, never read as markup.
    result->setTextFormat(Qt::PlainText);
    result->setFont(font(result, pixelSize));
    setColour(result, tone);
    result->setWordWrap(wrap);
    return result;
}

QWidget* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    setColour(line, [](const QPalette& palette) { return palette.color(QPalette::Mid); });
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

#include "Look.moc"
