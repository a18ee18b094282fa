#pragma once

#include <QStringList>

namespace tessary {

// The words the link finder reads mail with, all lower-case and matched as plain substrings of
// lower-cased text. Built once on first use, never changed.

// Links that are never the one to open: password resets (no sign-in, though many sit under
// "/auth"), phone and mail links, tracking pixels and images. Matched in the address before its
// query, where they name what the link opens; a query that names a page ("next=/settings") says
// where a sign-in goes on to.
const QStringList& linkBlockWords();
// Sections of a site that are no link to open either (its legal, help and settings pages),
// matched as the block words are, except right above a sign-in of their own ("/help/login").
const QStringList& linkSectionWords();
// Words that block a link wherever its address holds them, the query too: an unsubscribe address
// acts when it is opened, and many hide the word behind an opaque path ("/u/a1?do=unsubscribe").
const QStringList& linkOptOutWords();
// Social networks and app stores: never the one to open either. Matched where a domain name can
// start (see isBlockedLink), so "x.com/" blocks https://x.com/shop but not https://dropbox.com/.
const QStringList& linkBlockSites();
// Wording next to a link that names it as the way out ("Unsubscribe", "Not you?", "This wasn't
// me", "Secure your account"), which many senders put behind an address that says nothing.
// Apostrophes are straight: the finder reads a typographic one as one.
const QStringList& linkRefusalWords();
// Wording that says a link confirms an address or an account.
const QStringList& confirmWords();
// Wording that says a link signs the user in.
const QStringList& signInWords();
// Wording that invites to open something ("Open Loopnote", "Open your dashboard"): a sign-in in a
// mail that speaks of signing in, a page of the site in any other (a newsletter's).
const QStringList& openWords();
// Subject wording that reports a sign-in already made ("New sign-in to your account"): such a
// subject names none of its mail's links.
const QStringList& signInNoticeWords();
// Path fragments of sign-in and confirmation addresses.
const QStringList& linkPathWords();

// The route a single-page app keeps in a fragment ("/verify-email?token=1" or "!/help"), up to its
// own query: it names the page as a path does. Empty for any other fragment (an anchor,
// parameters).
QStringView fragmentRoute(QStringView fragment);

// Whether a lower-cased absolute URL holds an opt-out word, a block or section word in its page
// (the address before its query, with the fragment's route), or a blocked site at a domain
// boundary: at the start, after a character that cannot be part of a host name, or after a percent
// escape (an encoded address inside a tracking link). With `siteHost`, the link's host is the site that waits
// for it, and that site's own addresses are not blocked: on facebook.com, its own link is the one.
bool isBlockedLink(QStringView lowerUrl, bool siteHost);

} // namespace tessary
