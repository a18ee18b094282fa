#pragma once

#include "analysis/FoundLink.h"
#include "screen/Accessibility.h"
#include "screen/CodeField.h"

#include <optional>

namespace tessary {

// A browser page that waits for the user to click a link sent by e-mail.
struct LinkPage {
    QString url;                                    // the web area's address; empty when it has none
    std::optional<QString> host;                    // host of `url` when it parses as a URL
    FoundLink::Kind kind = FoundLink::Kind::signIn; // the link the page waits for
    std::optional<Rect> anchor;     // where the chip goes: a 340 × 12 strip just under the page's top edge
    std::optional<QString> appURL;  // the browser that shows the page, to open the link in
    std::optional<Element> webArea; // the page's document in the browser's tree

    // Reads the page the frontmost browser window shows (its tab that holds the focus); none when it
    // is not a link page, when it is one of the browser's own (a new tab), when it also shows a code
    // field (the code flow owns such pages), or when it is not waiting: the phrase is only in a list
    // (a chat log), or a text field has the focus (the user is typing into the page).
    // Reads at most `linkPageBudget::maxReads` attributes.
    static std::optional<LinkPage> detect(Accessibility& accessibility);
    // Whether the page is still there behind another tab of its window: its document still shows
    // its address while the focus (as the caller read it) is outside it. A page left by navigating has no
    // document any more, or one with another address, or one its tab's view no longer holds. Reads at
    // most `3 + linkPageBudget::focusSteps` attributes.
    bool behindAnotherTab(Accessibility& accessibility, const std::optional<Element>& focused) const;

    friend bool operator==(const LinkPage&, const LinkPage&) = default;
};

// The first element breadth-first from `root` (the root first) whose role is `role`, among at most
// `budget` elements.
std::optional<Element> findByRole(ElementTree& tree, const Element& root, Role role, int budget);

struct PageText {
    QString text; // the page's static texts and headings, joined with spaces
    // The headings and the texts outside lists (a chat log, a list of messages): where a page that
    // waits for a link says so.
    QString mainText;
    bool codeFieldPresent = false;
};
// The visible text of at most `budget` elements breadth-first from `root`, and whether one of its
// text fields is a code field.
PageText pageText(ElementTree& tree, const Element& root, int budget);

namespace linkPageBudget {
inline constexpr int webAreaSearch = 400;
// The focus and its ancestors, read for the page that holds it.
inline constexpr int focusSteps = 40;
inline constexpr int pageText = 250;
// Text fields classified while looking for a code field. A page waiting for an e-mailed link shows
// a handful; a grid of hundreds of inputs would otherwise cost tens of thousands of reads.
inline constexpr int classifiedFields = 10;
// The focused window and the focus's role, the focus's ancestors (role and parent), the web area
// search (role and children), the URL and the frame, the page text (role, value, title and children
// of each element) and the classified fields.
inline constexpr int maxReads =
    2 + 2 * focusSteps + 2 * webAreaSearch + 2 + 4 * pageText + classifiedFields * codeFieldBudget::maxReads;
} // namespace linkPageBudget

} // namespace tessary
