#pragma once

#include "fakes/FakeAccessibility.h"
#include "fakes/FakeBackendApi.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeLoginItem.h"
#include "fakes/FakeSettingsStore.h"
#include "state/AppState.h"
#include "state/InboxConnection.h"

#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tessary::test {

// An application state over fakes. Seed `settings`, `loginItem` or `accessibility` first, then
// `make()` the state: it reads them when it is created.
class AppStateTest : public ::testing::Test {
protected:
    AppStateTest()
        : accessibility(std::move(FakeAccessibility::fromJson(QJsonObject{{"root", QJsonObject{}}})).value())
    {
        timings.statePoll = std::chrono::milliseconds(5);
    }

    AppState& make(bool developerBuild = false)
    {
        state = std::make_unique<AppState>(
            AppStateServices{settings, *accessibility, loginItem, backend, clock, timings, developerBuild});
        inbox = std::make_unique<InboxConnection>(
            *state, InboxConnectionServices{backend, settings, clock, timings,
                                            [this](const QUrl& url) { opened.append(url); }});
        return *state;
    }

    static Account account(QString id, QString status, std::optional<QString> email = std::nullopt,
                           QString provider = QStringLiteral("gmail"))
    {
        return Account{std::move(id), std::move(provider), std::move(email), std::move(status)};
    }

    FakeSettingsStore settings;
    std::unique_ptr<FakeAccessibility> accessibility;
    FakeLoginItem loginItem;
    FakeBackendApi backend;
    FakeClock clock;
    Timings timings;
    QList<QUrl> opened;
    std::unique_ptr<AppState> state;
    std::unique_ptr<InboxConnection> inbox;
};

} // namespace tessary::test
