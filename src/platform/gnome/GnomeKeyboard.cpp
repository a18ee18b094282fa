#include "platform/gnome/GnomeKeyboard.h"

#include "platform/gnome/GnomeLayout.h"
#include "platform/gnome/GnomeShell.h"

#include <QCoro/QCoroDBusPendingCall>
#include <QPointer>

namespace tessary {

GnomeKeyboard::GnomeKeyboard(std::shared_ptr<GnomeShell> shell)
    : m_shell(std::move(shell))
{
    // Each window may have a layout of its own: asked again after the focus moved.
    QObject::connect(m_shell.get(), &GnomeShell::focusChanged, &m_context, [this] { m_layout.reset(); });
}

GnomeKeyboard::~GnomeKeyboard()
{
    releaseHeldKeys();
}

void GnomeKeyboard::releaseHeldKeys()
{
    for (const std::uint32_t keysym : std::as_const(m_down))
        m_shell->pressKey(keysym, false);
    m_down.clear();
}

QCoro::Task<> GnomeKeyboard::learnLayout()
{
    const std::optional<GnomeShell::Keymap> keymap = co_await m_shell->keymap();
    m_layout = keymap ? std::make_unique<GnomeLayout>(keymap->layouts, keymap->variants, keymap->options,
                                                      keymap->group)
                      : std::make_unique<GnomeLayout>(QString(), QString(), QString(), 0);
}

bool GnomeKeyboard::layoutHolds(const QString& text)
{
    const QList<uint> codePoints = text.toUcs4();
    return m_layout && codePoints.size() == 1 && m_layout->types(keysymOf(codePoints.constFirst()));
}

QCoro::Task<> GnomeKeyboard::postKey(QString text, bool down)
{
    const QList<uint> codePoints = text.toUcs4();
    if (codePoints.size() != 1)
        co_return;
    const std::uint32_t keysym = keysymOf(codePoints.constFirst());
    if (!co_await m_shell->ready()) {
        if (down)
            m_lost.append(text);
        co_return;
    }
    if (!m_layout)
        co_await learnLayout();
    if (m_layout->types(keysym)) {
        const QDBusPendingCall press = m_shell->pressKey(keysym, down);
        if (down) {
            m_down.insert(keysym);
            m_presses.append({press, text});
        } else {
            m_down.remove(keysym);
        }
        co_return;
    }
    if (!down)
        co_return;
    if (!co_await m_shell->commitText(text))
        m_lost.append(text);
}

QCoro::Task<> GnomeKeyboard::endTyping()
{
    const QPointer<QObject> alive(&m_context);
    const QList<std::pair<QDBusPendingCall, QString>> presses = std::exchange(m_presses, {});
    for (const auto& [press, text] : presses) {
        const QDBusMessage reply = co_await QDBusPendingCall(press);
        if (!alive)
            co_return;
        if (reply.type() != QDBusMessage::ReplyMessage)
            m_lost.append(text);
    }
}

} // namespace tessary
