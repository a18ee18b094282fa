// tessary-inspect shortcut: the stored fill shortcut.
// tessary-inspect grab SHORTCUT: claims a combination system-wide, waits for a press and tells each
// press of the second after it, so a key held down shows as the one press it is.

#include "common/AppIdentity.h"
#include "platform/freedesktop/StopSignals.h"
#include "platform/session/SessionDevices.h"
#include "state/QSettingsStore.h"
#include "state/ShortcutSetting.h"
#include "tools/InspectCommand.h"

#include <QCoreApplication>
#include <QTimer>

#include <memory>
#include <utility>

namespace tessary::inspect {

namespace {

constexpr int pressWaitMilliseconds = 30'000;
constexpr int afterPressMilliseconds = 1'000; // past the key repeat's usual delay

int runShortcut(const QStringList& arguments)
{
    if (!arguments.isEmpty()) {
        printError(QStringLiteral("usage: shortcut"));
        return exitBadInput;
    }
    const std::optional<Shortcut> shortcut = loadShortcut(QSettingsStore());
    printLine(shortcut ? shortcut->display() : QStringLiteral("Off"));
    return exitOk;
}

// The hot key of this session: a sway binding on sway, an X key grab elsewhere.
int runGrab(const QStringList& arguments)
{
    const std::optional<Shortcut> shortcut =
        arguments.size() == 1 ? parseShortcut(arguments.first()) : std::nullopt;
    if (!shortcut) {
        printError(arguments.size() == 1 ? QStringLiteral("not a shortcut: %1").arg(arguments.first())
                                         : QStringLiteral("usage: grab SHORTCUT"));
        return exitBadInput;
    }
    const std::unique_ptr<HotKey> hotKey = makeSessionHotKey();
    // Where the system answers late, the grab is registered once it has said yes.
    hotKey->setAnswerHandler([registered = false](const std::optional<QString>& refusal) mutable {
        if (refusal) {
            printLine(*refusal);
            QCoreApplication::exit(exitRefused);
        } else if (!std::exchange(registered, true)) {
            printLine(QStringLiteral("registered"));
        }
    });
    if (const std::optional<QString> refusal = hotKey->claim(shortcut)) {
        printLine(*refusal);
        return exitRefused;
    }
    QTimer noPress;
    noPress.setSingleShot(true);
    QObject::connect(&noPress, &QTimer::timeout, [] {
        printError(QStringLiteral("no press within 30 s"));
        QCoreApplication::exit(exitFailure);
    });
    // A press late in the wait ends it: the second after it is for telling more presses only.
    hotKey->setPressHandler([&noPress, first = true]() mutable {
        printLine(QStringLiteral("pressed"));
        if (!std::exchange(first, false))
            return;
        noPress.stop();
        QTimer::singleShot(afterPressMilliseconds, qApp, [] { QCoreApplication::exit(exitOk); });
    });
    noPress.start(pressWaitMilliseconds);
    // Ctrl+C ends the wait in order, so a sway binding leaves with the process; the status is the
    // one a shell gives a process its signal stopped.
    const StopSignals stop([](int signal) { QCoreApplication::exit(128 + signal); });
    if (!hotKey->answersLate())
        printLine(QStringLiteral("registered"));
    return QCoreApplication::exec();
}

const bool shortcutRegistered = registerCommand(
    {.name = QStringLiteral("shortcut"),
     .usage = QStringLiteral(""),
     .description = QStringLiteral("the stored fill shortcut as shown (Shift+Super+O), or Off"),
     .example = QStringLiteral("tessary-inspect shortcut"),
     .group = QStringLiteral("shortcut and login"),
     .needs = Needs::core,
     .run = runShortcut});
const bool grabRegistered = registerCommand(
    {.name = QStringLiteral("grab"),
     .usage = QStringLiteral("SHORTCUT"),
     .description = QStringLiteral("claims it (Shift+Super+O, ⇧⌘O or 31:768), waits 30 s for a press, "
                                   "then tells each press of the second after it"),
     .example = QStringLiteral("tessary-inspect grab 31:768"),
     .group = QStringLiteral("shortcut and login"),
     .needs = Needs::gui,
     .run = runGrab});

} // namespace

} // namespace tessary::inspect
