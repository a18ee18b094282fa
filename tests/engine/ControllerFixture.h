#pragma once

#include "engine/Controller.h"
#include "engine/Heartbeat.h"
#include "fakes/FakeAccessibility.h"
#include "fakes/FakeBackendApi.h"
#include "fakes/FakeChipSurface.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeEngineSeams.h"
#include "fakes/FakeHotKey.h"
#include "fakes/FakeKeyboard.h"
#include "fakes/FakeLoginItem.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeSmsSource.h"
#include "state/AppState.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace tessary::test {

using namespace std::chrono_literals;

inline constexpr qint64 ownPid = 777; // our own window's in browser.json

// A browser in front (tests/engine/trees/): by default showing a sign-in page with a code field, a
// button and a search field, beside one of our own windows; an inbox is connected and access
// granted, so the focus loop works once made.
struct EngineHarness {
    explicit EngineHarness(const char* tree = "browser.json")
        : accessibility(
              std::move(FakeAccessibility::fromFile(QStringLiteral(TESSARY_ENGINE_TREES "/") + tree)).value())
        , keyboard(typingClock)
    {
        settings.values.insert("email", "me@example.com");
        backend.messagesScript.replies = {QList<Message>{}};
        backend.messageIdsScript.replies = {QSet<QString>{}};
    }
    ~EngineHarness()
    {
        devHeartbeat.reset();
        controller.reset();
        clock.wakeAll();
    }
    // Makes the state (which reads the settings and access now) and the controller.
    void make(bool developerBuild = false)
    {
        state = std::make_unique<AppState>(
            AppStateServices{settings, *accessibility, loginItem, backend, clock, {}, developerBuild});
        const ControllerServices services{*state, *accessibility, keyboard, backend, clock,  chip,
                                          hotKey, clipboard,      links,    {},      ownPid, &phone};
        controller = std::make_unique<Controller>(services);
        devHeartbeat = std::make_unique<Heartbeat>(heartbeat, clock, Timings{}, developerBuild);
    }

    Element at(const char* id) { return *accessibility->element(id); }
    // Moves the focus and runs one tick of the focus loop.
    void focusAndTick(const char* id)
    {
        accessibility->setFocus(at(id));
        tick();
    }
    void tick() { QCoro::waitFor(controller->tick()); }
    // Three ticks: the page watch looks on every third.
    void watch()
    {
        for (int i = 0; i < 3; ++i)
            tick();
    }
    void start()
    {
        controller->start();
        devHeartbeat->start(*controller);
    }

    Message mail(const QString& id, const QString& code, const QString& senderDomain, double ageSeconds = 10)
    {
        const auto received = QDateTime::fromSecsSinceEpoch(qint64(clock.now() - ageSeconds), Qt::UTC);
        return Message(id, "Your verification code", "Team <no-reply@" + senderDomain + '>',
                       "Your verification code is " + code + '.', received.toString(Qt::ISODate), {});
    }
    // A text message the phone received `afterNow` seconds from now (negative: before).
    SmsMessage sms(qint64 uid, const QString& code, double afterNow,
                   SmsMessage::Direction direction = SmsMessage::Direction::received)
    {
        return SmsMessage("dev1", "Pixel 7", 12, uid, "+4915112345678",
                          "Your verification code is " + code + '.', qint64((clock.now() + afterNow) * 1000),
                          direction);
    }
    const ChipModel::State& chipState() { return chip.model().state(); }
    template <class S>
    const S* chipAs()
    {
        return std::get_if<S>(&chipState());
    }

    FakeClock clock{FakeClock::Sleeps::wait};
    FakeClock typingClock;
    FakeSettingsStore settings;
    std::unique_ptr<FakeAccessibility> accessibility;
    FakeKeyboard keyboard;
    FakeLoginItem loginItem;
    FakeBackendApi backend;
    FakeChipSurface chip;
    FakeHotKey hotKey;
    FakeClipboard clipboard;
    FakeLinkOpener links;
    FakeSmsSource phone;
    FakeHeartbeatBus heartbeat;
    std::unique_ptr<AppState> state;
    std::unique_ptr<Controller> controller;
    std::unique_ptr<Heartbeat> devHeartbeat;
};

// Mail in an inbox, and what the ids request reports of it.
struct Inbox {
    explicit Inbox(FakeBackendApi& api)
        : backend(api)
    {
        backend.messagesScript.onCall = [this](int) { backend.messagesScript.replies = {messages}; };
        backend.messageIdsScript.onCall = [this](int) {
            QSet<QString> ids;
            for (const Message& m : messages)
                ids.insert(m.id);
            backend.messageIdsScript.replies = {ids};
        };
    }
    ~Inbox() { backend.messagesScript.onCall = backend.messageIdsScript.onCall = nullptr; }
    FakeBackendApi& backend;
    QList<Message> messages;
};

class ControllerTest : public ::testing::Test, public EngineHarness {
protected:
    void SetUp() override { make(); }
};

} // namespace tessary::test
