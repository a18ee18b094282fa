#include "chip/ChipView.h"

#include "chip/ChipParts.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>

#include <cmath>

namespace tessary {

namespace {

constexpr int spacing = 10;
constexpr int buttonLeading = 5; // a row that starts with an accent button sits closer to the edge
constexpr int textLeading = 10;
constexpr int trailing = 6;
constexpr int vertical = 5;
constexpr int minimumChipHeight = 30;

} // namespace

ChipView::ChipView(ChipModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_row(new QHBoxLayout(this))
{
    m_row->setSpacing(spacing);
    // The view is exactly as large as its row needs, never stretched by whoever holds it.
    m_row->setSizeConstraint(QLayout::SetFixedSize);
    connect(&m_model, &ChipModel::stateChanged, this, &ChipView::rebuild);
    rebuild();
}

void ChipView::rebuild()
{
    while (QLayoutItem* item = m_row->takeAt(0)) {
        // A button may be rebuilding the row from its own click: it goes once that click is over.
        if (QWidget* child = item->widget()) {
            child->hide();
            child->deleteLater();
        }
        delete item;
    }
    const ChipContent content = chipContent(m_model.state());
    using Lead = ChipContent::Lead;
    const bool startsWithButton = content.lead == Lead::fillButton || content.lead == Lead::openButton;
    m_row->setContentsMargins(startsWithButton ? buttonLeading : textLeading, vertical, trailing, vertical);
    // The strut keeps the row's content at least this tall, so the chip stays 30 high with its margins.
    m_row->addStrut(minimumChipHeight - 2 * vertical);

    switch (content.lead) {
    case Lead::none:
        break;
    case Lead::progress:
        add(new Spinner);
        break;
    case Lead::checkMark:
        add(new CheckMark);
        break;
    case Lead::fillButton:
        add(button(new AccentButton(QStringLiteral("Fill")), &ChipModel::onFill));
        break;
    case Lead::openButton:
        add(button(new AccentButton(QStringLiteral("Open")), &ChipModel::onOpen));
        break;
    }

    using Style = ChipContent::Style;
    if (content.textWidth) {
        auto* message = new WrappedText(content.text, chipFont(12), int(std::lround(*content.textWidth)));
        QPalette colours = message->palette();
        colours.setColor(QPalette::WindowText, secondaryColor(*this));
        message->setPalette(colours);
        add(message);
    } else if (content.style == Style::code) {
        add(textLabel(content.text, chipCodeFont(14, QFont::DemiBold),
                      palette().color(QPalette::WindowText)));
    } else if (content.style == Style::title) {
        add(textLabel(content.text, chipFont(12, QFont::Medium), palette().color(QPalette::WindowText)));
    } else {
        add(textLabel(content.text, chipFont(12), secondaryColor(*this)));
    }
    if (content.senderDomain)
        add(textLabel(*content.senderDomain, chipFont(12), secondaryColor(*this)));
    if (content.closable)
        add(button(new CloseButton, &ChipModel::onClose));
    update();
}

void ChipView::add(QWidget* child)
{
    m_row->addWidget(child, 0, Qt::AlignVCenter);
    // Shown now, not on the next pass of the event loop, so the row's size counts it at once.
    child->show();
}

QWidget* ChipView::textLabel(const QString& text, const QFont& font, const QColor& color)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText); // mail-borne text is shown, never interpreted
    label->setFont(font);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, color);
    label->setPalette(colours);
    return label;
}

QWidget* ChipView::button(QAbstractButton* made, std::function<void()> ChipModel::*callback)
{
    // The callback is read at click time, since the engine may set it after the chip is built, and
    // copied, since running it may replace it.
    connect(made, &QAbstractButton::clicked, this, [this, callback] {
        if (const std::function<void()> action = m_model.*callback)
            action();
    });
    return made;
}

QImage ChipView::picture(qreal opacity, qreal scale)
{
    QImage drawn(size() * scale, QImage::Format_ARGB32_Premultiplied);
    drawn.setDevicePixelRatio(scale);
    drawn.fill(Qt::transparent);
    render(&drawn, QPoint(), QRegion(), QWidget::DrawChildren);
    if (opacity >= 1.0)
        return drawn;
    QImage faded(drawn.size(), QImage::Format_ARGB32_Premultiplied);
    faded.setDevicePixelRatio(scale);
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(opacity);
    painter.drawImage(QPoint(), drawn);
    return faded;
}

void ChipView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The row's texts take their colours from the palette: a colour scheme switched while the chip
    // is shown recolours it.
    if (event->type() == QEvent::PaletteChange)
        rebuild();
}

void ChipView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A one-pixel border drawn inside the rounded shape: the stroke runs half a pixel in.
    const QRectF shape = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1.0));
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawRoundedRect(shape, 6, 6);
}

} // namespace tessary
