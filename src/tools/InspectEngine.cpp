// tessary-inspect engine [--backend URL] [--duration S] [--no-type]: runs the real engine on the live
// desktop, as the application does, and prints one JSON line per chip state, typed code and opened
// link. The diagnostic a user attaches to a bug report; the desktop tests read it too.

#include "engine/Controller.h"
#include "engine/Heartbeat.h"
#include "platform/freedesktop/DBusHeartbeatBus.h"
#include "platform/freedesktop/DesktopLinkOpener.h"
#include "platform/freedesktop/XdgAutostart.h"
#include "platform/qt/QtClipboard.h"
#include "platform/session/SessionDevices.h"
#include "platform/session/SessionSms.h"
#include "state/AppState.h"
#include "state/InboxConnection.h"
#include "tools/InspectBackend.h"
#include "tools/JsonLine.h"
#include "tools/LiveAccessibility.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace tessary::inspect {

namespace {

// Shows the chip but never types or opens: for looking at what the engine would do.
struct WatchingKeyboard : Keyboard {
    bool keysHeld() override { return false; }
    void releaseHeldKeys() override {}
    QCoro::Task<> postKey(QString, bool) override { co_return; }
};
struct WatchingLinkOpener : LinkOpener {
    bool open(const QUrl&, const std::optional<QString>&) override { return true; }
};

QList<std::pair<QString, QJsonValue>> stateFields(const ChipModel::State& state)
{
    QList<std::pair<QString, QJsonValue>> fields{{"chip", stateName(state)}};
    const auto code = [&](const FoundCode& found) {
        fields.append({"code", found.code});
        fields.append({"sender", found.senderDomain});
        if (found.phone)
            fields.append({"phone", *found.phone});
    };
    std::visit(
        [&](const auto& value) {
            using S = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<S, ChipModel::Searching>) {
                fields.append({"domain", optionalJson(value.domain)});
            } else if constexpr (std::is_same_v<S, ChipModel::Found> ||
                                 std::is_same_v<S, ChipModel::Filled>) {
                code(value.code);
            } else if constexpr (std::is_same_v<S, ChipModel::Failed>) {
                fields.append({"message", value.message});
            } else if constexpr (std::is_same_v<S, ChipModel::WaitingForLink>) {
                fields.append({"domain", optionalJson(value.domain)});
                fields.append({"kind", kindName(value.kind)});
            } else if constexpr (std::is_same_v<S, ChipModel::Link>) {
                fields.append({"kind", kindName(value.link.kind)});
                fields.append({"url", value.link.url.toString(QUrl::FullyEncoded)});
                fields.append({"sender", value.link.senderDomain});
            } else {
                fields.append({"kind", kindName(value.kind)});
            }
        },
        state);
    return fields;
}

int runEngine(const QStringList& arguments)
{
    const QString usage = QStringLiteral("usage: engine [--backend URL] [--duration SECONDS] [--no-type]");
    const ParsedArguments parsed = parseBackendArguments(arguments, {QStringLiteral("--duration")}, 0, usage,
                                                         {QStringLiteral("--no-type")});
    if (!parsed.error.isEmpty())
        return exitBadInput;
    const std::optional<double> duration = timeOption(parsed, QStringLiteral("--duration"), 0);
    if (!duration) {
        printError(usage);
        return exitBadInput;
    }
    const bool watchOnly = parsed.options.contains(QStringLiteral("--no-type"));

    const auto accessibility =
        openLiveAccessibility(QStringLiteral("restart the applications you want Tessary to read"));
    if (!accessibility)
        return exitFailure;
    SystemClock clock;
    SessionDevices devices(clock);
    if (!watchOnly && !devices.typingProblem().isEmpty()) {
        printError(devices.typingProblem());
        return exitFailure;
    }
    WatchingKeyboard watchingKeyboard;
    WatchingLinkOpener watchingLinks;
    DesktopLinkOpener desktopLinks;

    BackendSession session(backendOverride(parsed));
    XdgAutostart loginItem(applicationId(), {QStringLiteral("tessary")});
    AppState state(AppStateServices{session.settings, *accessibility, loginItem, session.backend, clock});
    InboxConnection inbox(state, InboxConnectionServices{session.backend, session.settings, clock, {}, {}});
    ChipSurface& chip = devices.chip();
    QtClipboard clipboard;
    DBusHeartbeatBus heartbeatBus;
    // The paired phones' text messages, as the application reads them.
    SessionSms sms(QDBusConnection::sessionBus(), clock);
    Controller controller(
        ControllerServices{state,
                           *accessibility,
                           watchOnly ? static_cast<Keyboard&>(watchingKeyboard) : devices.keyboard(),
                           session.backend,
                           clock,
                           chip,
                           devices.hotKey(),
                           clipboard,
                           watchOnly ? static_cast<LinkOpener&>(watchingLinks) : desktopLinks,
                           {},
                           QCoreApplication::applicationPid(),
                           &sms});
    Heartbeat heartbeat(heartbeatBus, clock);
    heartbeat.start(controller);

    QElapsedTimer started;
    started.start();
    const auto print = [&](QList<std::pair<QString, QJsonValue>> fields) {
        fields.prepend({"t", double(started.elapsed()) / 1000.0});
        printLine(jsonLine(fields));
    };
    QObject::connect(&chip.model(), &ChipModel::stateChanged, &chip.model(),
                     [&] { print(stateFields(chip.model().state())); });
    QObject::connect(&controller, &Controller::typed, &controller, [&](const QString& text) {
        print({{"typed", text}});
    });
    QObject::connect(&controller, &Controller::opened, &controller, [&](const QUrl& url) {
        print({{"opened", url.toString(QUrl::FullyEncoded)}});
    });

    // Like the application: the inbox list once at start, so the engine knows an inbox is there.
    inbox.refreshAccounts();
    controller.start();
    if (*duration > 0)
        QTimer::singleShot(std::chrono::milliseconds(qint64(*duration * 1000)), qApp,
                           &QCoreApplication::quit);
    return QCoreApplication::exec() == 0 ? exitOk : exitFailure;
}

const bool engineRegistered =
    registerCommand({.name = QStringLiteral("engine"),
                     .usage = QStringLiteral("[--backend URL] [--duration S] [--no-type]"),
                     .description = QStringLiteral("the live engine, one JSON line per event"),
                     .example = QStringLiteral("tessary-inspect engine --duration 60 --no-type"),
                     .group = QStringLiteral("screen"),
                     .needs = Needs::gui,
                     .run = runEngine});

} // namespace

} // namespace tessary::inspect
