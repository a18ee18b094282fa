#include "screen/LinkPage.h"

#include "screen/BrowserSets.h"
#include "screen/ScreenPattern.h"
#include "screen/TreeWalk.h"

namespace tessary {

namespace {

// The chip sits centred on the page, just under its top edge.
constexpr int anchorWidth = 340;
constexpr int anchorHeight = 12;
constexpr int anchorDrop = 20; // from the page's top edge to the strip's bottom edge

std::optional<Rect> chipAnchor(const std::optional<Rect>& page)
{
    if (!page)
        return std::nullopt;
    return Rect{page->x + page->width / 2 - anchorWidth / 2, page->y + anchorDrop - anchorHeight, anchorWidth,
                anchorHeight};
}

// A browser window holds a web area for each of its tabs, the hidden ones too (Firefox does): the
// page shown is the outermost web area around the focus, frames inside it being web areas of their
// own. With the focus in no page (the address bar), the first web area found stands in.
std::optional<Element> shownWebArea(Accessibility& accessibility, const Element& window,
                                    const std::optional<Element>& focus)
{
    std::optional<Element> outermost;
    std::optional<Element> current = focus;
    for (int step = 0; step < linkPageBudget::focusSteps && current; ++step) {
        if (accessibility.stringAttribute(*current, QStringLiteral("AXRole")) == QLatin1String("AXWebArea"))
            outermost = current;
        current = accessibility.elementAttribute(*current, QStringLiteral("AXParent"));
    }
    if (outermost)
        return outermost;
    return findByRole(accessibility, window, QStringLiteral("AXWebArea"), linkPageBudget::webAreaSearch);
}

} // namespace

std::optional<Element> findByRole(Accessibility& accessibility, const Element& root, const QString& role,
                                  int budget)
{
    std::optional<Element> found;
    walkBreadthFirst(accessibility, root, budget, [&](const Element& element) {
        if (accessibility.stringAttribute(element, QStringLiteral("AXRole")) != role)
            return WalkStep::goOn;
        found = element;
        return WalkStep::stop;
    });
    return found;
}

PageText pageText(Accessibility& accessibility, const Element& root, int budget)
{
    QStringList pieces;
    QStringList mainPieces;
    bool codeFieldPresent = false;
    int classified = 0;
    walkBreadthFirstMarked(accessibility, root, budget, [&](const Element& element, bool inList) {
        const std::optional<QString> role = accessibility.stringAttribute(element, QStringLiteral("AXRole"));
        if (role == QLatin1String("AXStaticText") || role == QLatin1String("AXHeading")) {
            const std::optional<QString> text = visibleText(accessibility, element);
            if (text && !text->isEmpty()) {
                pieces.append(*text);
                if (!inList || role == QLatin1String("AXHeading"))
                    mainPieces.append(*text);
            }
        } else if (role == QLatin1String("AXTextField") && !codeFieldPresent &&
                   classified < linkPageBudget::classifiedFields) {
            ++classified;
            codeFieldPresent = CodeField::detect(accessibility, element).has_value();
        }
        return MarkedStep{WalkStep::goOn, inList || role == QLatin1String("AXList")};
    });
    return PageText{pieces.join(QLatin1Char(' ')), mainPieces.join(QLatin1Char(' ')), codeFieldPresent};
}

std::optional<LinkPage> LinkPage::detect(Accessibility& accessibility)
{
    const std::optional<RunningApplication> application = accessibility.frontmostApplication();
    if (!application || !linkBrowsers().contains(application->bundleIdentifier))
        return std::nullopt;
    const std::optional<Element> applicationElement = accessibility.applicationElement(application->pid);
    if (!applicationElement)
        return std::nullopt;
    const std::optional<Element> window =
        accessibility.elementAttribute(*applicationElement, QStringLiteral("AXFocusedWindow"));
    if (!window)
        return std::nullopt;
    const std::optional<Element> focus = accessibility.focusedElement();
    const std::optional<Element> webArea = shownWebArea(accessibility, *window, focus);
    if (!webArea)
        return std::nullopt;

    LinkPage page;
    page.url = accessibility.stringAttribute(*webArea, QStringLiteral("AXURL")).value_or(QString());
    const PageText text = pageText(accessibility, *webArea, linkPageBudget::pageText);
    if (text.codeFieldPresent)
        return std::nullopt;
    // A page that asks to confirm the address may also say to check the inbox: it is a confirm page.
    if (confirmPagePattern().matches(text.mainText))
        page.kind = FoundLink::Kind::confirm;
    else if (linkSentPattern().matches(text.mainText))
        page.kind = FoundLink::Kind::signIn;
    else
        return std::nullopt;

    // Someone typing into the page (a chat box, a form that asks for the address again) is not
    // waiting for a link, and the chip would cover what they type.
    if (focus) {
        const std::optional<QString> role = accessibility.stringAttribute(*focus, QStringLiteral("AXRole"));
        if (role == QLatin1String("AXTextField") || role == QLatin1String("AXTextArea"))
            return std::nullopt;
    }

    page.anchor = chipAnchor(accessibility.screenFrame(*webArea));
    page.host = urlHost(page.url);
    if (!application->bundleURL.isEmpty())
        page.appURL = application->bundleURL;
    return page;
}

} // namespace tessary
