#pragma once

#include "screen/Keyboard.h"

#include <QDBusPendingCall>
#include <QList>
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
// The shell passes keys through its input thread but commits text at once: a committed "é" can overtake the
// keys typed before it, so layoutHolds tells typing which characters must wait for those (and reads as false
// until the layout is known). The user's own keys are invisible to an application here: keysHeld() sees our
// keys only.
class GnomeKeyboard final : public Keyboard {
public:
    explicit GnomeKeyboard(std::shared_ptr<GnomeShell> shell);
    ~GnomeKeyboard() override;

    bool keysHeld() override { return !m_down.isEmpty(); }
    void releaseHeldKeys() override;
    QCoro::Task<> postKey(QString text, bool down) override;
    bool layoutHolds(const QString& text) override;
    // Learns which key presses the shell refused: their characters are untyped.
    QCoro::Task<> endTyping() override;

    QString takeUntyped() override { return std::exchange(m_lost, {}); }

private:
    QCoro::Task<> learnLayout();

    std::shared_ptr<GnomeShell> m_shell;
    std::unique_ptr<GnomeLayout> m_layout;
    QSet<std::uint32_t> m_down;                            // keysyms of our keys that are down
    QList<std::pair<QDBusPendingCall, QString>> m_presses; // sent since typing began, with their text
    QString m_lost;
    QObject m_context; // ends the focus connection with the keyboard
};

} // namespace tessary
