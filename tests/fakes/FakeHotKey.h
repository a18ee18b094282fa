#pragma once

#include "hotkey/HotKey.h"

#include <QList>

namespace tessary::test {

// Accepts every combination but `heldByOthers` (a refusal leaves nothing registered), remembers
// every request; `globalKeys` false is a session that grants no global hot key.
class FakeHotKey : public HotKey {
public:
    QList<Shortcut> heldByOthers;
    QList<std::optional<Shortcut>> requests;
    std::optional<Shortcut> registered;
    bool globalKeys = true;

    bool registerShortcut(const std::optional<Shortcut>& shortcut) override
    {
        requests.append(shortcut);
        registered.reset();
        if (!shortcut)
            return true;
        if (!globalKeys || heldByOthers.contains(*shortcut))
            return false;
        registered = shortcut;
        return true;
    }
    void release() override { registered.reset(); }
    bool globalKeysAvailable() const override { return globalKeys; }

    // The system answers the current registration late, as GNOME Shell and KDE's service do; a
    // refusal takes it away.
    void answer(bool granted)
    {
        const Shortcut shortcut = *registered;
        if (!granted)
            registered.reset();
        answerLater(shortcut, granted);
    }

    // The user presses the registered combination; nothing happens when none is registered.
    void press()
    {
        if (registered)
            deliverPress();
    }
};

} // namespace tessary::test
