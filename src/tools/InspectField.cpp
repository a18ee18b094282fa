// tessary-inspect field --tree FILE: classifies the element marked "focused" in an element tree.

#include "fakes/FakeAccessibility.h"
#include "screen/CodeField.h"
#include "screen/FieldClassification.h"
#include "tools/InspectCommand.h"
#include "tools/JsonLine.h"

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
    auto screen = test::FakeAccessibility::fromFile(path);
    if (!screen) {
        printError(screen.error());
        return exitBadInput;
    }
    const std::optional<Element> focus = (*screen)->focus();
    if (!focus) {
        printError(path + QStringLiteral(": no element is marked \"focused\""));
        return exitBadInput;
    }

    Accessibility& accessibility = **screen;
    const QString label = fieldLabel(accessibility, *focus);
    const QString around =
        nearbyText(accessibility, *focus, codeFieldBudget::aroundLevels, codeFieldBudget::aroundBudget);
    const FieldVerdict verdict = classifyField(accessibility, *focus);
    if (const std::optional<CodeField> field = CodeField::detect(accessibility, *focus)) {
        printLine(jsonLine({{"codeField", true},
                            {"domain", optionalJson(field->domain)},
                            {"frame", rectJson(field->frame)},
                            {"label", label},
                            {"around", around}}));
    } else {
        printLine(jsonLine(
            {{"codeField", false}, {"label", label}, {"around", around}, {"reason", verdict.reason}}));
    }
    return exitOk;
}

const bool registered = registerCommand({QStringLiteral("field"),
                                         QStringLiteral("--tree FILE                             "
                                                        "whether the focused element is a code field"),
                                         Needs::core, runField});

} // namespace

} // namespace tessary::inspect
