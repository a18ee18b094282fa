#pragma once

#include "hotkey/HotKey.h"

#include <QObject>

#include <memory>

namespace tessary {

class GnomeShell;

// The fill shortcut as a key binding of GNOME Shell's, made by the extension; the press never
// reaches the focused application. A combination one of GNOME's own bindings holds is refused at
// once (their settings are read here); the shell's own answer (another extension may hold it)
// comes only after the call, and is given to the answer handler.
class GnomeHotKey final : public HotKey {
public:
    explicit GnomeHotKey(std::shared_ptr<GnomeShell> shell);
    ~GnomeHotKey() override;

    bool registerShortcut(const std::optional<Shortcut>& shortcut) override;
    void release() override;
    bool globalKeysAvailable() const override;
    bool answersLate() const override { return true; }

private:
    void grab();

    std::shared_ptr<GnomeShell> m_shell;
    QObject m_context; // ends the press connection with the hot key
    Shortcut m_shortcut;
    QString m_accelerator;
    bool m_bound = false;
    quint64 m_grabs = 0; // grabs asked for, so only the newest one's answer counts
};

} // namespace tessary
