#pragma once

#include "common/Clock.h"
#include "platform/freedesktop/DBusHeartbeatBus.h"
#include "platform/freedesktop/DesktopLinkOpener.h"
#include "platform/freedesktop/XdgAutostart.h"
#include "platform/qt/QtClipboard.h"
#include "platform/session/BackendConnection.h"
#include "platform/session/SessionAccessibility.h"
#include "platform/session/SessionDevices.h"
#include "platform/session/SessionSms.h"

#include <memory>

namespace tessary {

// Every Linux service the application runs on, made once in main in dependency order, for the
// session it runs in (X11 or sway). Without a "backendURL" setting the backend runs inside this
// process on 127.0.0.1. The connection to the backend and AT-SPI, the two that take longest, are
// made beforehand (main makes each in a turn of the event loop of its own).
struct Platform {
    Platform(std::unique_ptr<BackendConnection> madeConnection,
             std::unique_ptr<AtspiAccessibility> madeAccessibility);

    std::unique_ptr<BackendConnection> liveConnection;
    BackendConnection& connection = *liveConnection;
    OverriddenSettings& settings = connection.settings;
    Backend& backend = connection.backend;
    SystemClock clock;
    std::unique_ptr<AtspiAccessibility> liveAccessibility;
    AtspiAccessibility& accessibility = *liveAccessibility;
    SessionDevices devices{clock};
    Keyboard& keyboard = devices.keyboard();
    HotKey& hotKey = devices.hotKey();
    QtClipboard clipboard;
    DesktopLinkOpener links;
    DBusHeartbeatBus heartbeat;
    XdgAutostart loginItem;
    SessionSms sms{QDBusConnection::sessionBus(), clock};
};

} // namespace tessary
