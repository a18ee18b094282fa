#pragma once

#include "screen/Keyboard.h"

#include <QObject>
#include <QSet>

#include <cstdint>
#include <memory>
#include <utility>

namespace tessary {

class GnomeLayout;
class GnomeShell;

// The keyboard seam on GNOME under Wayland, through the shell extension's virtual keyboard. A
// character the active layout has a key for goes in as that keysym (the shell adds Shift); one it
// lacks would be dropped by the shell without a word, so it is handed to the focused text field
// through the shell's input method instead. When no field takes it, typing fails and says so.
// The user's own keys are invisible to an application here: keysHeld() sees our keys only.
class GnomeKeyboard final : public Keyboard {
public:
    explicit GnomeKeyboard(std::shared_ptr<GnomeShell> shell);
    ~GnomeKeyboard() override;

    bool keysHeld() override { return !m_down.isEmpty(); }
    void releaseHeldKeys() override;
    QCoro::Task<> postKey(QString text, bool down) override;

    QString takeUntyped() override { return std::exchange(m_lost, {}); }

private:
    QCoro::Task<> learnLayout();

    std::shared_ptr<GnomeShell> m_shell;
    std::unique_ptr<GnomeLayout> m_layout;
    QSet<std::uint32_t> m_down; // keysyms of our keys that are down
    QString m_lost;
    bool m_keysSinceCommit = false;
    QObject m_context; // ends the focus connection with the keyboard
};

} // namespace tessary
