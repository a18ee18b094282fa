// tessary-inspect login-item [on|off]: whether Tessary opens at login, and switching it.

#include "common/AppIdentity.h"
#include "platform/freedesktop/XdgAutostart.h"
#include "tools/InspectCommand.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace tessary::inspect {

namespace {

// The entry starts the application, not this tool: the `tessary` installed beside it, else the one
// on PATH; empty when there is neither.
QString applicationProgram()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/tessary");
    return QFileInfo(beside).isExecutable() ? beside
                                            : QStandardPaths::findExecutable(QStringLiteral("tessary"));
}

int runLoginItem(const QStringList& arguments)
{
    const QString wanted = arguments.value(0);
    if (arguments.size() > 1 ||
        (!wanted.isEmpty() && wanted != QLatin1String("on") && wanted != QLatin1String("off"))) {
        printError(QStringLiteral("usage: login-item [on|off]"));
        return exitBadInput;
    }
    const QString program = applicationProgram();
    XdgAutostart loginItem(applicationId(), {program});
    if (wanted == QLatin1String("on") && program.isEmpty()) {
        printError(
            QStringLiteral("no tessary program beside tessary-inspect or on PATH: an entry would start "
                           "nothing at login"));
        return exitFailure;
    }
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
