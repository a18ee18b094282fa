#pragma once

#include "hotkey/Shortcut.h"

#include <QObject>

#include <functional>
#include <optional>

namespace tessary {

// The one system-wide registration of the fill shortcut. The X11 implementation grabs the key on
// the root window; tests use a fake. Everything runs on the main thread.
class HotKey {
public:
    HotKey() = default;
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;
    virtual ~HotKey() = default;

    // Replaces the current registration by one for `shortcut`. True when `shortcut` is none or the
    // system accepted it; after a refusal nothing at all is registered, so the caller can claim
    // the previous combination again. Where the system answers only later, true means it has not
    // refused yet, and the answer comes through the answer handler.
    virtual bool registerShortcut(const std::optional<Shortcut>& shortcut) = 0;
    // Whether this session lets an application have a global hot key at all. Where it does not
    // (a Wayland desktop with no X11 grab and no sway binding), every request fails, and saying the
    // combination is used by another app would send the user looking for a clash that is not there.
    virtual bool globalKeysAvailable() const { return true; }
    // Whether the system answers a registration only after registerShortcut returned, through the
    // answer handler.
    virtual bool answersLate() const { return false; }
    // Registers `shortcut` and says why not when that fails; none when it is claimed.
    std::optional<QString> claim(const std::optional<Shortcut>& shortcut);
    // Gives up the current registration, if any.
    virtual void release() = 0;

    // What a press runs. It is called from the event loop after the event that reported the
    // press has been handled, once per press.
    void setPressHandler(std::function<void()> handler) { m_pressHandler = std::move(handler); }

    // What a late answer runs: none when the system granted the registered combination, else why
    // not, in the words `claim` uses. A refusal leaves nothing registered. Only the current
    // registration is answered: one replaced or released before its answer came gets none.
    using AnswerHandler = std::function<void(const std::optional<QString>& refusal)>;
    void setAnswerHandler(AnswerHandler handler) { m_answerHandler = std::move(handler); }

protected:
    // Called by an implementation when the registered combination is pressed.
    void deliverPress();
    // Called by an implementation whose system answers late, once the answer for the current
    // registration of `shortcut` is in; last thing in its reply handler, since the handler may
    // register another combination at once.
    void answerLater(const Shortcut& shortcut, bool granted);

private:
    QString refusalMessage(const std::optional<Shortcut>& shortcut) const;

    std::function<void()> m_pressHandler;
    AnswerHandler m_answerHandler;
    // Queued presses die with the hot key instead of running a handler that is gone.
    QObject m_deliveryContext;
};

} // namespace tessary
