#include "app/PopoverParts.h"

#include "app/Look.h"
#include "app/PopoverText.h"
#include "common/Clock.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tessary {

namespace {

constexpr auto copiedFor = std::chrono::milliseconds(1200);
constexpr auto ageRefresh = std::chrono::seconds(15);

// A row under the pointer lies on the accent: the code in the highlight's own text colour, where it
// came from and its age a touch fainter.
QColor onAccent(const QPalette& palette)
{
    return palette.color(QPalette::HighlightedText);
}

QColor faintOnAccent(const QPalette& palette)
{
    QColor colour = onAccent(palette);
    colour.setAlphaF(0.9f);
    return colour;
}

QColor age(const QPalette& palette)
{
    QColor colour = look::secondary(palette);
    colour.setAlphaF(0.8f);
    return colour;
}

} // namespace

CodeRow::CodeRow(FoundCode code, Clock& clock, std::function<void()> copy, QWidget* parent)
    : QWidget(parent)
    , m_code(std::move(code))
    , m_clock(clock)
    , m_copy(std::move(copy))
    , m_codeLabel(new QLabel(m_code.display(), this))
    , m_second(new ElidedLabel(this))
    , m_age(new QLabel(this))
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    auto* row = new QHBoxLayout(this);
    // The face sits 4 px inside the row and keeps 8 px of its own padding around the text.
    row->setContentsMargins(12, 5, 12, 5);
    row->setSpacing(8);
    m_codeLabel->setFont(look::monospace(14, QFont::Medium));
    m_second->setFont(look::font(this, 12));
    m_age->setFont(look::font(this, 11));
    m_age->setFixedWidth(28);
    m_age->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(m_codeLabel);
    row->addWidget(m_second, 1);
    row->addWidget(m_age);
    m_ageTimer.setInterval(ageRefresh);
    connect(&m_ageTimer, &QTimer::timeout, this, &CodeRow::refreshAge);
    refreshAge();
    refresh();
}

void CodeRow::setHovering(bool on)
{
    m_hovering = on;
    refresh();
}

void CodeRow::click()
{
    m_copy();
    m_copied = true;
    refresh();
    // Every click schedules its own reset; the first one due ends the confirmation.
    QTimer::singleShot(copiedFor, this, [this] {
        m_copied = false;
        refresh();
    });
}

QString CodeRow::codeText() const
{
    return m_codeLabel->text();
}

QString CodeRow::secondText() const
{
    return m_second->text();
}

QString CodeRow::ageText() const
{
    return m_age->text();
}

void CodeRow::enterEvent(QEnterEvent*)
{
    setHovering(true);
}

void CodeRow::leaveEvent(QEvent*)
{
    setHovering(false);
}

void CodeRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        click();
}

void CodeRow::paintEvent(QPaintEvent*)
{
    if (!m_hovering)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath face;
    face.addRoundedRect(QRectF(rect()).adjusted(4, 0, -4, 0), 4, 4);
    painter.fillPath(face, look::accent(palette()));
}

// The row lives while the popover is closed; the age it shows is the one of the moment it opens.
void CodeRow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshAge();
    m_ageTimer.start();
}

void CodeRow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_ageTimer.stop();
}

void CodeRow::refresh()
{
    m_second->setText(m_copied     ? QStringLiteral("Copied")
                      : m_hovering ? QStringLiteral("Click to copy")
                                   : m_code.origin());
    look::setColour(m_codeLabel, m_hovering ? onAccent : look::primary);
    look::setColour(m_second, m_hovering ? faintOnAccent : look::secondary);
    look::setColour(m_age, m_hovering ? faintOnAccent : age);
    update();
}

void CodeRow::refreshAge()
{
    m_age->setText(popover::ageText(m_code.received, m_clock.now()));
}

FooterButton::FooterButton(const QString& title, std::function<void()> action, QWidget* parent)
    : QPushButton(title, parent)
{
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setFont(look::font(this, 12));
    if (parent)
        parent->installEventFilter(this);
    restyle();
    connect(this, &QPushButton::clicked, this, [action = std::move(action)] { action(); });
}

// The sheet fixes the button's whole palette, so a new palette reaches only the widget the button
// sits in; the button watches that widget's.
bool FooterButton::event(QEvent* event)
{
    if (event->type() == QEvent::ParentAboutToChange && parentWidget())
        parentWidget()->removeEventFilter(this);
    const bool handled = QPushButton::event(event);
    if (event->type() == QEvent::ParentChange && parentWidget())
        parentWidget()->installEventFilter(this);
    return handled;
}

bool FooterButton::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        restyle();
    return QPushButton::eventFilter(watched, event);
}

// The style sheet spells the palette's colours out, so a new palette calls for a new sheet.
void FooterButton::restyle()
{
    const QPalette around = parentWidget() ? parentWidget()->palette() : QApplication::palette(this);
    const QColor text = look::primary(around);
    setStyleSheet(
        QStringLiteral("QPushButton { border: none; border-radius: 4px; padding: 3px 6px; color: %1; }"
                       "QPushButton:hover { color: %2; background: rgba(%3, %4, %5, 18); }")
            .arg(look::secondary(around).name(), text.name())
            .arg(text.red())
            .arg(text.green())
            .arg(text.blue()));
}

} // namespace tessary
