// tessary: the tray application. Starts the engine, shows recent codes under its tray icon, leads
// a new user through setup and keeps every setting. One runs per session; a second launch brings
// the first one forward.

#include "app/AppContext.h"
#include "app/AppDelegate.h"
#include "app/FormerIdMove.h"
#include "app/TrayIcons.h"
#include "app/UpdateCheck.h"
#include "common/AppIdentity.h"
#include "engine/Controller.h"
#include "platform/atspi/AccessibilityEnabling.h"
#include "platform/freedesktop/SingleInstance.h"
#include "platform/session/Platform.h"
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

QString accessibilityNote()
{
    using tessary::AccessibilityEnabling;
    if (const QString problem = tessary::sessionProblem(); !problem.isEmpty())
        return problem;
    if (!AccessibilityEnabling::enable())
        return QStringLiteral(
            "Accessibility could not be turned on: the desktop's accessibility service did not answer.");
    return QStringLiteral(
        "Accessibility is on. Restart once any Chromium-based browser, Qt or GTK 4 program that "
        "was already running, so Tessary can see its fields.");
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
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tessary"));
    QApplication::setApplicationVersion(QStringLiteral(TESSARY_VERSION));
    QApplication::setDesktopFileName(applicationId());
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(applicationIcon());

    SingleInstance instance(applicationId());
    if (instance.claim() == SingleInstance::Claim::handedOver)
        return 0;

    const FormerIdMove formerId = FormerIdMove::forThisBuild({QCoreApplication::applicationFilePath()});
    formerId.moveFiles();
    Platform platform;
    AppState state(AppStateServices{platform.settings, platform.accessibility, platform.loginItem,
                                    platform.backend, platform.clock});
    InboxConnection inbox(
        state,
        InboxConnectionServices{platform.backend, platform.settings, platform.clock, {}, [](const QUrl& url) {
                                    QDesktopServices::openUrl(url);
                                }});
    ChipSurface& chip = platform.devices.chip();
    Controller controller(ControllerServices{state, platform.accessibility, platform.keyboard,
                                             platform.backend, platform.clock, chip, platform.hotKey,
                                             platform.clipboard, platform.links, platform.heartbeat});
    AppContext context{state,
                       inbox,
                       platform.settings,
                       platform.clock,
                       platform.clipboard,
                       [](const QUrl& url) { QDesktopServices::openUrl(url); },
                       accessibilityNote};
    context.secretsLocation = [&platform] { return secretsLocation(platform.connection); };
    AppDelegate delegate(context, controller);
    UpdateCheck updates(platform.settings);
    delegate.setCheckForUpdates([&updates] { updates.checkNow(); });
    // Developer builds never look for updates on their own.
    if (!isDevBuild())
        updates.checkDaily();
    QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate, &AppDelegate::reopen);
    // Nothing asks the backend before the token kept under the former id has moved: a new token
    // would stand for a new installation without its inboxes.
    SecretServiceStore formerKeyring(formerId.formerId);
    QCoro::connect(
        moveKeyringToken(platform.connection.storedSettings, formerKeyring, platform.connection.secrets),
        &delegate, [&delegate] { delegate.launch(); });
    return QApplication::exec();
}
