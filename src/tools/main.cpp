// tessary-inspect: the command-line window onto Tessary's pieces. Each command lives in its own
// file and registers itself; this file only picks the command and the application object it needs.

#include "platform/session/DesktopSession.h"
#include "platform/session/SessionAccessibility.h"
#include "tools/InspectCommand.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <memory>

using namespace tessary::inspect;

namespace {

bool asksForHelp(const QString& argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
           argument == QLatin1String("help");
}

// The program's own arguments, before any application object exists to parse them.
QStringList rawArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char* argv[])
{
    // What the commands print is read by tests and tools outside: the warnings the application writes
    // for failures it handles quietly stay out of it unless QT_LOGGING_RULES asks for them.
    QLoggingCategory::setFilterRules(QStringLiteral("tessary.*.warning=false"));
    const QStringList raw = rawArguments(argc, argv);
    const QString name = raw.value(0);
    if (asksForHelp(name) && raw.size() == 1) {
        printHelp();
        return exitOk;
    }
    // "--help codes" asks what "help codes" asks.
    const bool helpForOne = asksForHelp(name);
    const QString commandName = helpForOne ? raw.value(1) : name;
    const Command* command = findCommand(commandName);
    if (!command || (helpForOne && raw.size() > 2)) {
        if (name.isEmpty())
            printError(QStringLiteral("no command given"));
        else if (helpForOne && raw.size() > 2)
            printError(QStringLiteral("usage: help COMMAND"));
        else
            printError(QStringLiteral("unknown command \"%1\"").arg(commandName));
        printError(QStringLiteral("see \"tessary-inspect --help\" for the commands"));
        return exitBadInput;
    }
    if (helpForOne || raw.mid(1).contains(QLatin1String("--help"))) {
        printCommandHelp(*command);
        return exitOk;
    }

    // Qt aborts when it cannot reach a display; say what is missing instead.
    if (command->needs == Needs::gui && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        printError(QStringLiteral("%1 needs a display: DISPLAY is not set").arg(name));
        return exitFailure;
    }
    // Nor can it use an X display that does not answer.
    if (command->needs == Needs::gui && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !tessary::DesktopSession::isWayland(tessary::DesktopSession::current())) {
        if (const QString problem = tessary::sessionProblem(); !problem.isEmpty()) {
            printError(problem);
            return exitFailure;
        }
    }
    std::unique_ptr<QCoreApplication> application;
    if (command->needs == Needs::gui)
        application = std::make_unique<QApplication>(argc, argv);
    else
        application = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessary"));
    QCoreApplication::setOrganizationName(QStringLiteral("tessary"));

    const QStringList arguments = QCoreApplication::arguments().mid(2);
    return command->run(arguments);
}
