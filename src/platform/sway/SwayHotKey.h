#pragma once

#include "hotkey/HotKey.h"
#include "platform/sway/SwayIpc.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace tessary {

class SwayEvents;

// The fill shortcut as a sway key binding added at run time over sway's IPC. sway runs the
// binding's command, a dbus-send that calls Press on this object over the session bus; the key
// itself never reaches the focused application. The binding holds the key that gives the
// combination's letter in the first keyboard layout, whichever layout is in effect.
//
// sway overwrites an existing binding without a word, so clashes are looked for first: in the
// config sway loaded and the files it includes (its default mode), and among the combinations
// held by running Tessary processes, each of which owns a session-bus name made from its
// combination for as long as it holds it. Bindings other programs add at run time cannot be seen:
// sway's IPC has no request that lists them. Reloading its config makes sway forget runtime
// bindings, so the binding is made again after each reload, unless the reloaded config now binds
// the combination itself.
class SwayHotKey : public QObject, public HotKey {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tessary.HotKey")
public:
    // `swaySocket` is sway's IPC socket ($SWAYSOCK). `applicationId` names the bus names; a
    // developer build shares them with the release one, so the two cannot take the same
    // combination from each other.
    SwayHotKey(const QString& swaySocket, const QString& applicationId);
    ~SwayHotKey() override;

    bool registerShortcut(const std::optional<Shortcut>& shortcut) override;
    void release() override;
    bool globalKeysAvailable() const override { return m_available; }

public slots:
    // Called by the binding's command.
    Q_SCRIPTABLE void Press();

private:
    struct Binding {
        QString combo;   // in sway's names, as bound
        QString busName; // owned while bound
    };

    bool clashesWithConfig(const QString& combo) const;
    bool bind(const QString& combo, const QString& busName) const;
    bool runCommand(const QString& command) const;
    void bindAgainAfterReload();

    QString m_socketPath;
    SwayIpc m_ipc;
    QString m_busPrefix;
    bool m_objectRegistered = false;
    bool m_available = false;
    std::optional<Binding> m_binding;
    std::unique_ptr<SwayEvents> m_events; // while bound
};

} // namespace tessary
