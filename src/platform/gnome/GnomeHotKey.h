#pragma once

#include "hotkey/HotKey.h"

#include <QObject>

#include <memory>

namespace tessary {

class GnomeShell;

// The fill shortcut as a key binding of GNOME Shell's, made by the extension; the press never
// reaches the focused application. A combination one of GNOME's own bindings holds is refused at
// once (their settings are read here); one the shell refuses for another reason (another
// extension's grab) is found out only after the call, and said then.
class GnomeHotKey final : public HotKey {
public:
    explicit GnomeHotKey(std::shared_ptr<GnomeShell> shell);
    ~GnomeHotKey() override;

    bool registerShortcut(const std::optional<Shortcut>& shortcut) override;
    void release() override;
    bool globalKeysAvailable() const override;

private:
    void grab();

    std::shared_ptr<GnomeShell> m_shell;
    QObject m_context; // ends the press connection with the hot key
    QString m_accelerator;
    bool m_bound = false;
};

} // namespace tessary
