// tessary-inspect login-item [on|off]: whether Tessary opens at login, and switching it.

#include "common/AppIdentity.h"
#include "platform/freedesktop/XdgAutostart.h"
#include "tools/InspectCommand.h"

#include <QStandardPaths>

namespace tessary::inspect {

namespace {

// The entry starts the application, not this tool: the installed `tessary` when there is one.
QStringList applicationCommand()
{
    const QString installed = QStandardPaths::findExecutable(QStringLiteral("tessary"));
    return {installed.isEmpty() ? QStringLiteral("tessary") : installed};
}

int runLoginItem(const QStringList& arguments)
{
    const QString wanted = arguments.value(0);
    if (arguments.size() > 1 ||
        (!wanted.isEmpty() && wanted != QLatin1String("on") && wanted != QLatin1String("off"))) {
        printError(QStringLiteral("usage: login-item [on|off]"));
        return exitBadInput;
    }
    XdgAutostart loginItem(applicationId(), applicationCommand());
    if (!wanted.isEmpty()) {
        const Expected<Done, QString> changed = loginItem.setEnabledNow(wanted == QLatin1String("on"));
        if (!changed) {
            printError(changed.error());
            return exitFailure;
        }
    }
    printLine(loginItem.isEnabled() ? QStringLiteral("on") : QStringLiteral("off"));
    return exitOk;
}

const bool loginItemRegistered =
    registerCommand({.name = QStringLiteral("login-item"),
                     .usage = QStringLiteral("[on|off]"),
                     .description = QStringLiteral("whether Tessary opens at login; on/off switches it"),
                     .example = QStringLiteral("tessary-inspect login-item on"),
                     .group = QStringLiteral("shortcut and login"),
                     .needs = Needs::core,
                     .run = runLoginItem});

} // namespace

} // namespace tessary::inspect
