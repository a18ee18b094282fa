#pragma once

#include "common/Clock.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/DBusHeartbeatBus.h"
#include "platform/linux/DesktopLinkOpener.h"
#include "platform/linux/QtClipboard.h"
#include "platform/linux/XdgAutostart.h"
#include "wiring/BackendConnection.h"
#include "wiring/SessionDevices.h"

#include <memory>

namespace tessary {

// Every Linux service the application runs on, made once in main in dependency order, for the
// session it runs in (X11 or sway). Without a "backendURL" setting the backend runs inside this
// process on 127.0.0.1.
struct Platform {
    Platform();

    BackendConnection connection;
    OverriddenSettings& settings = connection.settings;
    Backend& backend = connection.backend;
    SystemClock clock;
    AtspiAccessibility accessibility;
    SessionDevices devices{clock};
    Keyboard& keyboard = devices.keyboard();
    HotKey& hotKey = devices.hotKey();
    QtClipboard clipboard;
    DesktopLinkOpener links;
    DBusHeartbeatBus heartbeat;
    XdgAutostart loginItem;
};

} // namespace tessary
