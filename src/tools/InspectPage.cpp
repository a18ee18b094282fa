// tessary-inspect page [--tree FILE]: whether the frontmost browser window waits for an e-mailed
// link, in an element-tree file or, without --tree, on the live desktop.

#include "screen/ElementTreeFile.h"
#include "screen/LinkPage.h"
#include "tools/InspectCommand.h"
#include "tools/JsonLine.h"
#include "tools/LiveAccessibility.h"

namespace tessary::inspect {

namespace {

void printPage(Accessibility& accessibility)
{
    const std::optional<LinkPage> page = LinkPage::detect(accessibility);
    if (!page) {
        printLine(QStringLiteral("null"));
        return;
    }
    printLine(jsonLine({{"kind", kindName(page->kind)},
                        {"url", page->url},
                        {"host", optionalJson(page->host)},
                        {"anchor", rectJson(page->anchor)},
                        {"appURL", optionalJson(page->appURL)}}));
}

int runPage(const QStringList& arguments)
{
    const ParsedArguments parsed = parseArguments(arguments, {QStringLiteral("--tree")});
    if (!parsed.error.isEmpty() || !parsed.positional.isEmpty()) {
        printError(parsed.error.isEmpty() ? QStringLiteral("usage: page [--tree FILE]") : parsed.error);
        return exitBadInput;
    }
    if (!parsed.options.contains("--tree")) {
        const auto live = openLiveAccessibility(QStringLiteral("restart the browser you inspect"));
        if (!live)
            return exitFailure;
        printPage(*live);
        return exitOk;
    }
    auto screen = ElementTreeFile::fromFile(parsed.options.value("--tree"));
    if (!screen) {
        printError(screen.error());
        return exitBadInput;
    }
    printPage(**screen);
    return exitOk;
}

const bool pageRegistered = registerCommand(
    {.name = QStringLiteral("page"),
     .usage = QStringLiteral("[--tree FILE]"),
     .description = QStringLiteral("whether the browser page waits for an e-mailed link"),
     .example = QStringLiteral("tessary-inspect page --tree tests/screen/trees/check-email.json"),
     .group = QStringLiteral("screen"),
     .needs = Needs::core,
     .run = runPage});

} // namespace

} // namespace tessary::inspect
