#include "screen/LinkPage.h"

#include "screen/BrowserSets.h"
#include "screen/ScreenPattern.h"
#include "screen/TreeWalk.h"

#include <QUrl>

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
std::optional<Element> shownWebArea(ElementTree& tree, const Element& window,
                                    const std::optional<Element>& focus)
{
    std::optional<Element> outermost;
    std::optional<Element> current = focus;
    for (int step = 0; step < linkPageBudget::focusSteps && current; ++step) {
        if (tree.role(*current) == Role::documentWeb)
            outermost = current;
        current = tree.parent(*current);
    }
    if (outermost)
        return outermost;
    return findByRole(tree, window, Role::documentWeb, linkPageBudget::webAreaSearch);
}

// Only a site's page waits for a link. The browser's own pages have addresses of other schemes,
// and they may still read as one: Chromium's new tab names the pages visited on its tiles ("Check
// your email"). A page whose address names no scheme (or that has none) is taken for a site's.
bool sitePage(const QString& url)
{
    const QString scheme = QUrl(url).scheme();
    return scheme.isEmpty() || scheme == QLatin1String("https") || scheme == QLatin1String("http");
}

} // namespace

std::optional<Element> findByRole(ElementTree& tree, const Element& root, Role role, int budget)
{
    std::optional<Element> found;
    walkBreadthFirst(tree, root, budget, [&](const Element& element) {
        if (tree.role(element) != role)
            return WalkStep::goOn;
        found = element;
        return WalkStep::stop;
    });
    return found;
}

PageText pageText(ElementTree& tree, const Element& root, int budget)
{
    QStringList pieces;
    QStringList mainPieces;
    bool codeFieldPresent = false;
    int classified = 0;
    walkBreadthFirstMarked(tree, root, budget, [&](const Element& element, bool inList) {
        const Role role = tree.role(element);
        if (role == Role::staticText || role == Role::heading) {
            const std::optional<QString> text = visibleText(tree, element);
            if (text && !text->isEmpty()) {
                pieces.append(*text);
                if (!inList || role == Role::heading)
                    mainPieces.append(*text);
            }
        } else if (isTextField(role) && !codeFieldPresent && classified < linkPageBudget::classifiedFields) {
            ++classified;
            codeFieldPresent = CodeField::detect(tree, element).has_value();
        }
        return MarkedStep{WalkStep::goOn, inList || role == Role::list};
    });
    return PageText{pieces.join(QLatin1Char(' ')), mainPieces.join(QLatin1Char(' ')), codeFieldPresent};
}

std::optional<LinkPage> LinkPage::detect(Accessibility& accessibility)
{
    const std::optional<RunningApplication> application = accessibility.frontmostApplication();
    if (!application || !linkBrowsers().contains(application->appId))
        return std::nullopt;
    const std::optional<Element> applicationElement = accessibility.applicationElement(application->pid);
    if (!applicationElement)
        return std::nullopt;
    const std::optional<Element> window = accessibility.focusedWindow(*applicationElement);
    if (!window)
        return std::nullopt;
    const std::optional<Element> focus = accessibility.focusedElement();
    const std::optional<Element> webArea = shownWebArea(accessibility, *window, focus);
    if (!webArea)
        return std::nullopt;

    LinkPage page;
    page.url = accessibility.documentUrl(*webArea).value_or(QString());
    if (!sitePage(page.url))
        return std::nullopt;
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
        const Role role = accessibility.role(*focus);
        if (isTextField(role) || role == Role::text)
            return std::nullopt;
    }

    page.webArea = webArea;
    page.anchor = chipAnchor(accessibility.screenFrame(*webArea));
    page.host = urlHost(page.url);
    if (!application->appPath.isEmpty())
        page.appURL = application->appPath;
    return page;
}

bool LinkPage::behindAnotherTab(Accessibility& accessibility, const std::optional<Element>& focused) const
{
    if (!webArea || accessibility.documentUrl(*webArea) != url)
        return false;
    // Chromium keeps a page left by navigating (for going back): it still shows its address and names
    // its tab's view as its parent, but the view holds the page that followed. A page behind another
    // tab is still in its view (Firefox) or in none (Chromium).
    if (const std::optional<Element> view = accessibility.parent(*webArea);
        view && !accessibility.children(*view).contains(*webArea))
        return false;
    std::optional<Element> current = focused;
    for (int step = 0; step < linkPageBudget::focusSteps && current; ++step) {
        if (*current == *webArea)
            return false;
        current = accessibility.parent(*current);
    }
    return true;
}

} // namespace tessary
