// tessary-inspect field --tree FILE: classifies the element marked "focused" in an element tree.

#include "screen/ElementTreeFile.h"
#include "tools/FieldReport.h"
#include "tools/InspectCommand.h"

namespace tessary::inspect {

namespace {

int runField(const QStringList& arguments)
{
    const ParsedArguments parsed = parseArguments(arguments, {QStringLiteral("--tree")});
    if (!parsed.error.isEmpty() || !parsed.positional.isEmpty() || !parsed.options.contains("--tree")) {
        printError(parsed.error.isEmpty() ? QStringLiteral("usage: field --tree FILE") : parsed.error);
        return exitBadInput;
    }
    const QString path = parsed.options.value("--tree");
    auto screen = ElementTreeFile::fromFile(path);
    if (!screen) {
        printError(screen.error());
        return exitBadInput;
    }
    const std::optional<Element> focus = (*screen)->focus();
    if (!focus) {
        printError(path + QStringLiteral(": no element is marked \"focused\""));
        return exitBadInput;
    }

    printLine(fieldReport(**screen, *focus));
    return exitOk;
}

const bool fieldRegistered = registerCommand(
    {.name = QStringLiteral("field"),
     .usage = QStringLiteral("--tree FILE"),
     .description = QStringLiteral("whether a tree file's focused element is a code field"),
     .example = QStringLiteral("tessary-inspect field --tree tests/screen/trees/otp-single-field.json"),
     .group = QStringLiteral("screen"),
     .needs = Needs::core,
     .run = runField});

} // namespace

} // namespace tessary::inspect
