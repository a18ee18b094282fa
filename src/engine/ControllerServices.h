#pragma once

#include "backend/BackendApi.h"
#include "common/Clock.h"
#include "common/Timings.h"
#include "screen/Accessibility.h"
#include "screen/Keyboard.h"

#include <QCoreApplication>

namespace tessary {

class AppState;
class ChipSurface;
class Clipboard;
class HotKey;
class LinkOpener;
class SmsSource;

// What the controller and its flows read and drive; every member outlives them.
struct ControllerServices {
    AppState& state;
    Accessibility& accessibility;
    Keyboard& keyboard;
    BackendApi& backend;
    Clock& clock;
    ChipSurface& chip;
    HotKey& hotKey;
    Clipboard& clipboard;
    LinkOpener& links;
    Timings timings = {};
    qint64 ownPid = QCoreApplication::applicationPid();
    SmsSource* sms = nullptr; // none when no phone service is reachable on this desktop
};

} // namespace tessary
