#include "app/ShortcutRecorder.h"

#include "app/Look.h"
#include "hotkey/KeyCodes.h"
#include "hotkey/KeyLabel.h"
#include "state/AppState.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tessary {

namespace {

const QString modifierMissing = QStringLiteral("Include Ctrl, Alt or Super.");

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return true;
    default:
        return false;
    }
}

} // namespace

ShortcutRecorder::ShortcutRecorder(AppState& state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_button(new QPushButton(this))
    , m_reset(new QPushButton(QStringLiteral("Reset"), this))
    , m_caption(look::label({}, 11, look::secondary, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addStretch(1);
    m_button->setObjectName(QStringLiteral("recorderButton"));
    m_button->setFont(look::font(this, 12));
    m_reset->setObjectName(QStringLiteral("recorderReset"));
    m_reset->setFlat(true);
    m_reset->setCursor(Qt::PointingHandCursor);
    m_reset->setFont(look::font(this, 12));
    look::setColour(m_reset, look::accent);
    row->addWidget(m_reset);
    row->addWidget(m_button);
    column->addLayout(row);
    m_caption->setAlignment(Qt::AlignRight);
    column->addWidget(m_caption);

    connect(m_button, &QPushButton::clicked, this, [this] { m_recording ? stop() : start(); });
    connect(m_reset, &QPushButton::clicked, this,
            [this] { m_state.setShortcut(Shortcut::defaultShortcut()); });
    connect(&m_state, &AppState::shortcutChanged, this, &ShortcutRecorder::refresh);
    connect(&m_state, &AppState::shortcutErrorChanged, this, &ShortcutRecorder::refresh);
    refresh();
}

ShortcutRecorder::~ShortcutRecorder()
{
    stop();
}

void ShortcutRecorder::start()
{
    m_state.setShortcutError(std::nullopt);
    m_recording = true;
    if (m_state.registerShortcut())
        m_state.registerShortcut()(std::nullopt);
    // Every key press of the application comes here first while recording.
    qApp->installEventFilter(this);
    m_monitoring = true;
    refresh();
}

void ShortcutRecorder::stop()
{
    if (m_monitoring) {
        qApp->removeEventFilter(this);
        m_monitoring = false;
    }
    if (m_recording) {
        m_recording = false;
        if (m_state.registerShortcut())
            m_state.registerShortcut()(m_state.shortcut());
        refresh();
    }
}

void ShortcutRecorder::handleKey(const QKeyEvent& event)
{
    const int key = event.key();
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        stop();
        m_state.setShortcut(std::nullopt);
        return;
    }
    if (key == Qt::Key_Escape) {
        stop();
        return;
    }
    if (isModifierKey(key))
        return;
    const qint64 modifiers = carbonModifiers(event.modifiers());
    if (!(modifiers & (modifier::command | modifier::option | modifier::control))) {
        m_state.setShortcutError(modifierMissing);
        return;
    }
    const std::optional<qint64> keyCode =
        keyCodeForKeyEvent(key, event.nativeVirtualKey(), event.nativeScanCode());
    if (!keyCode)
        return; // a key no shortcut can name; keep listening
    const Shortcut shortcut{*keyCode, modifiers, keyLabel(*keyCode, key, event.text())};
    stop();
    m_state.setShortcut(shortcut);
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_recording)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // Claim the press, so no window shortcut (Ctrl+Q among them) runs instead.
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        handleKey(static_cast<const QKeyEvent&>(*event));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void ShortcutRecorder::hideEvent(QHideEvent* event)
{
    stop();
    QWidget::hideEvent(event);
}

void ShortcutRecorder::refresh()
{
    const std::optional<Shortcut>& shortcut = m_state.shortcut();
    if (m_recording) {
        m_button->setText(QStringLiteral("Press keys…"));
        look::setColour(m_button, look::secondary);
        m_caption->setText(QStringLiteral("Esc to cancel, Delete to turn off"));
        look::setColour(m_caption, look::secondary);
    } else {
        m_button->setText(shortcut ? shortcut->display() : QStringLiteral("Off"));
        look::setColour(m_button, look::primary);
        m_caption->setText(m_state.shortcutError().value_or(QString()));
        look::setColour(m_caption, look::red);
    }
    // The style pads a button's text by a pixel or two; a written-out combination needs room.
    constexpr int padding = 20;
    m_button->setMinimumWidth(
        std::max(70, m_button->fontMetrics().horizontalAdvance(m_button->text()) + padding));
    m_caption->setVisible(!m_caption->text().isEmpty());
    m_reset->setVisible(!m_recording && shortcut != Shortcut::defaultShortcut());
}

} // namespace tessary
