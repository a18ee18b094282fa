// tessary: the tray application. Starts the engine, shows recent codes under its tray icon, leads
// a new user through setup and keeps every setting. One runs per session; a second launch brings
// the first one forward.

#include "app/AppContext.h"
#include "app/AppDelegate.h"
#include "app/FormerIdMove.h"
#include "app/StallWatch.h"
#include "app/StartupSequence.h"
#include "app/TrayIcons.h"
#include "app/UpdateCheck.h"
#include "common/AppIdentity.h"
#include "engine/Controller.h"
#include "engine/Heartbeat.h"
#include "platform/atspi/AccessibilityEnabling.h"
#include "platform/freedesktop/SecretServiceStore.h"
#include "platform/freedesktop/SingleInstance.h"
#include "platform/freedesktop/StopSignals.h"
#include "platform/session/Platform.h"
#include "platform/session/QtEnvironment.h"
#include "platform/session/SecretsLocation.h"
#include "state/AppState.h"
#include "state/InboxConnection.h"

#include <QApplication>
#include <QDesktopServices>

#include <cstdio>
#include <cstring>

namespace {

const char* const help = "Usage: tessary [--help | --version]\n"
                         "\n"
                         "Tessary sits in the tray and types the verification codes that sites e-mail\n"
                         "you into the field that asks for them. On its first start it opens a short\n"
                         "setup: connect an inbox, turn on accessibility, try it on a practice field.\n"
                         "Starting it again while it runs opens its settings (or the setup when it is\n"
                         "not finished).\n"
                         "\n"
                         "  --help      show this text\n"
                         "  --version   show the version\n";

// `typingProblem` is why this session cannot type (KWin not granting its fake input), if so.
void grantAccessibility(const QString& typingProblem, QObject* context,
                        std::function<void(QString, bool)> note)
{
    if (const QString problem = tessary::sessionProblem(); !problem.isEmpty()) {
        note(problem, true);
        return;
    }
    tessary::AccessibilityEnabling::enable(context, [context, typingProblem,
                                                     note = std::move(note)](bool enabled) {
        const QString access =
            !enabled ? QStringLiteral("Accessibility could not be turned on: the desktop's accessibility "
                                      "service did not answer.")
            : !typingProblem.isEmpty()
                ? QStringLiteral("Accessibility is on, but codes cannot be typed: ") + typingProblem +
                      QLatin1Char('.')
                : QStringLiteral("Accessibility is on. Restart once any Chromium-based browser, Qt or GTK 4 "
                                 "program that was already running, so Tessary can see its fields.");
        // Only why access is not there goes once it is on; a typing problem outlasts it.
        const bool failed = !enabled;
        // On GNOME under Wayland the shell extension is the other half of the permission.
        tessary::enableSessionHelpers(context, [access, failed, note](const QString& helpers) {
            note(helpers.isEmpty() ? access : access + QLatin1Char(' ') + helpers, failed);
        });
    });
}

// Everything the running application is made of, made in dependency order: the Linux services, the
// state, the engine and the windows. The backend connection and AT-SPI come made; what the start
// does then runs in later jobs of `steps`.
struct Tessary {
    Tessary(std::unique_ptr<tessary::BackendConnection> connection,
            std::unique_ptr<tessary::AtspiAccessibility> accessibility, const tessary::FormerIdMove& formerId,
            tessary::StartupSequence& steps);

    tessary::Platform platform;
    tessary::AppState state{tessary::AppStateServices{platform.settings, platform.accessibility,
                                                      platform.loginItem, platform.backend, platform.clock}};
    tessary::InboxConnection inbox{
        state, tessary::InboxConnectionServices{
                   platform.backend, platform.settings, platform.clock, {}, [](const QUrl& url) {
                       QDesktopServices::openUrl(url);
                   }}};
    tessary::Controller controller{tessary::ControllerServices{state,
                                                               platform.accessibility,
                                                               platform.keyboard,
                                                               platform.backend,
                                                               platform.clock,
                                                               platform.devices.chip(),
                                                               platform.hotKey,
                                                               platform.clipboard,
                                                               platform.links,
                                                               {},
                                                               QCoreApplication::applicationPid(),
                                                               &platform.sms}};
    tessary::Heartbeat heartbeat{platform.heartbeat, platform.clock};
    tessary::AppContext context{state,
                                inbox,
                                platform.settings,
                                platform.clock,
                                platform.clipboard,
                                [](const QUrl& url) { QDesktopServices::openUrl(url); },
                                [this](QObject* receiver, std::function<void(QString, bool)> note) {
                                    grantAccessibility(platform.devices.typingProblem(), receiver,
                                                       std::move(note));
                                }};
    tessary::AppDelegate delegate{context, controller, platform.devices.statusIcon()};
    tessary::UpdateCheck updates{platform.settings};
    tessary::SecretServiceStore formerKeyring;
};

Tessary::Tessary(std::unique_ptr<tessary::BackendConnection> connection,
                 std::unique_ptr<tessary::AtspiAccessibility> accessibility,
                 const tessary::FormerIdMove& formerId, tessary::StartupSequence& steps)
    : platform(std::move(connection), std::move(accessibility))
    , formerKeyring(formerId.formerId)
{
    context.secretsLocation = [this] { return tessary::secretsLocation(platform.connection); };
    context.phones = &platform.sms;
    heartbeat.start(controller);
    delegate.setCheckForUpdates([this] { updates.checkNow(); });
    // Developer builds never look for updates on their own.
    if (!tessary::isDevBuild())
        steps.then([this] { updates.checkDaily(); });
    // Nothing asks the backend before the token kept under the former id has moved: a new token
    // would stand for a new installation without its inboxes.
    QCoro::connect(tessary::moveKeyringToken(platform.connection.storedSettings, formerKeyring,
                                             platform.connection.secrets),
                   &delegate, [this, &steps] { delegate.launch(steps); });
}

} // namespace

int main(int argc, char** argv)
{
    for (int index = 1; index < argc; ++index) {
        if (!std::strcmp(argv[index], "--help") || !std::strcmp(argv[index], "-h")) {
            std::fputs(help, stdout);
            return 0;
        }
        if (!std::strcmp(argv[index], "--version")) {
            std::printf("tessary %s\n", TESSARY_VERSION);
            return 0;
        }
        std::fprintf(stderr, "tessary: unknown option %s\n%s", argv[index], help);
        return 2;
    }

    using namespace tessary;
    setQtEnvironment(DesktopSession::current());
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tessary"));
    QApplication::setApplicationVersion(QStringLiteral(TESSARY_VERSION));
    QApplication::setDesktopFileName(applicationId());
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(applicationIcon());

    // Logging out or stopping the service ends the event loop, so the objects below release what a
    // killed process would leave behind and the last settings reach the disk.
    const StopSignals stop([](int) { QCoreApplication::quit(); });
    std::unique_ptr<StallWatch> stallWatch;
    if (const QString report = qEnvironmentVariable("TESSARY_STALL_REPORT"); !report.isEmpty())
        stallWatch = std::make_unique<StallWatch>(report);

    // A later launch hands over to the running one without waiting for its answer here: the
    // application is put together only once this launch knows it is the first, a part per turn of
    // the event loop.
    SingleInstance instance(applicationId());
    StartupSequence steps;
    std::unique_ptr<BackendConnection> connection;
    std::unique_ptr<AtspiAccessibility> accessibility;
    std::unique_ptr<Tessary> running;
    instance.claim([&](SingleInstance::Claim claim) {
        if (claim == SingleInstance::Claim::handedOver) {
            QCoreApplication::quit();
            return;
        }
        // Files kept under the former application id move before anything reads them.
        const FormerIdMove formerId = FormerIdMove::forThisBuild({QCoreApplication::applicationFilePath()});
        formerId.moveFiles();
        steps.then([&] { connection = std::make_unique<BackendConnection>(); })
            .then([&] { accessibility = makeSessionAccessibility(); })
            .then([&, formerId] {
                running = std::make_unique<Tessary>(std::move(connection), std::move(accessibility), formerId,
                                                    steps);
            });
        // A later launch asking while this one is still being put together waits behind it.
        QObject::connect(&instance, &SingleInstance::reopenRequested, &steps,
                         [&] { steps.then([&] { running->delegate.reopen(); }); });
    });
    return QApplication::exec();
}
