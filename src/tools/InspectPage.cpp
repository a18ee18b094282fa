// tessary-inspect page --tree FILE: whether the tree's frontmost browser window waits for an
// e-mailed link.

#include "fakes/FakeAccessibility.h"
#include "screen/LinkPage.h"
#include "tools/InspectCommand.h"
#include "tools/JsonLine.h"

namespace tessary::inspect {

namespace {

int runPage(const QStringList& arguments)
{
    const ParsedArguments parsed = parseArguments(arguments, {QStringLiteral("--tree")});
    if (!parsed.error.isEmpty() || !parsed.positional.isEmpty() || !parsed.options.contains("--tree")) {
        printError(parsed.error.isEmpty() ? QStringLiteral("usage: page --tree FILE") : parsed.error);
        return exitBadInput;
    }
    auto screen = test::FakeAccessibility::fromFile(parsed.options.value("--tree"));
    if (!screen) {
        printError(screen.error());
        return exitBadInput;
    }
    const std::optional<LinkPage> page = LinkPage::detect(**screen);
    if (!page) {
        printLine(QStringLiteral("null"));
        return exitOk;
    }
    printLine(jsonLine({{"kind", kindName(page->kind)},
                        {"url", page->url},
                        {"host", optionalJson(page->host)},
                        {"anchor", rectJson(page->anchor)},
                        {"appURL", optionalJson(page->appURL)}}));
    return exitOk;
}

const bool registered = registerCommand({QStringLiteral("page"),
                                         QStringLiteral("--tree FILE                              "
                                                        "whether the front browser page waits for a link"),
                                         Needs::core, runPage});

} // namespace

} // namespace tessary::inspect
