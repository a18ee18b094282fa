// tessary-inspect: the command-line window onto Tessary's pieces. Each command lives in its own
// file and registers itself; this file only picks the command and the application object it needs.

#include "tools/InspectCommand.h"

#include <QCoreApplication>
#include <QApplication>

#include <memory>

using namespace tessary::inspect;

namespace {

void printUsage()
{
    printError(QStringLiteral("usage: tessary-inspect COMMAND [ARGUMENTS]"));
    for (const Command& command : commands())
        printError(QStringLiteral("  %1 %2").arg(command.name, command.usage));
}

const Command* findCommand(const QString& name)
{
    for (const Command& command : commands())
        if (command.name == name)
            return &command;
    return nullptr;
}

} // namespace

int main(int argc, char* argv[])
{
    const QString name = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const Command* command = findCommand(name);
    if (!command) {
        if (!name.isEmpty() && name != QLatin1String("--help") && name != QLatin1String("help"))
            printError(QStringLiteral("unknown command \"%1\"").arg(name));
        printUsage();
        return name == QLatin1String("--help") || name == QLatin1String("help") ? exitOk : exitBadInput;
    }

    // Qt aborts when it cannot reach a display; say what is missing instead.
    if (command->needs == Needs::gui && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        printError(QStringLiteral("%1 needs a display: DISPLAY is not set").arg(name));
        return exitFailure;
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
