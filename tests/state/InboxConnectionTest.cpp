#include "state/AppStateTestSupport.h"

#include "support/RunTask.h"

using namespace tessary;
using namespace std::chrono_literals;
using tessary::test::AppStateTest;
using tessary::test::FakeClock;
using tessary::test::runTask;

namespace {

const ConnectLink signInLink{QUrl("https://accounts.example.com/signin?state=1"), "acc-new"};
const BackendError serverError{500, "Server error 500"};
const BackendError unknownProvider{400, "Unknown provider"};
const char* const timedOut = "Didn't hear back from the sign-in page. Try again.";

} // namespace

using AccountRefresh = AppStateTest;

// A refresh takes the backend's list and remembers the first active inbox's address; a failed one
// changes nothing and is left to the caller to show.
TEST_F(AccountRefresh, TakesTheBackendsListAndRemembersTheFirstActiveInboxAddress)
{
    const QList<Account> before{account("a0", "active", "old@example.com")};
    const struct {
        const char* name;
        BackendResult<QList<Account>> reply;
        std::optional<QString> remembered;
    } rows[] = {
        {"first active has an address",
         QList<Account>{account("a1", "pending", "a@example.com"), account("a2", "active", "b@example.com"),
                        account("a3", "active", "c@example.com")},
         "b@example.com"},
        {"first active has none",
         QList<Account>{account("a1", "pending", "a@example.com"), account("a2", "active"),
                        account("a3", "active", "b@example.com")},
         std::nullopt},
        {"first active has an empty one", QList<Account>{account("a1", "active", QString())}, std::nullopt},
        {"none left", QList<Account>{}, std::nullopt},
        {"the refresh fails", Unexpected{serverError}, "old@example.com"},
    };
    std::optional<bool> inboxWhenListed; // what a view reads as the list changes; outlives the states
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        settings.values.insert("email", "old@example.com");
        AppState& s = make();
        s.setAccounts(before);
        inboxWhenListed.reset();
        QObject::connect(&s, &AppState::accountsChanged, &s,
                         [&inboxWhenListed, &listing = s] { inboxWhenListed = listing.hasInbox(); });
        backend.accountsScript.replies = {row.reply};
        const BackendResult<Done> result = runTask(inbox->refreshAccounts());
        EXPECT_EQ(result ? std::nullopt : std::optional(result.error()),
                  row.reply ? std::nullopt : std::optional(serverError));
        EXPECT_EQ(s.accounts(), row.reply ? *row.reply : before); // in the backend's order
        EXPECT_EQ(settings.values.value("email"), row.remembered ? QVariant(*row.remembered) : QVariant());
        EXPECT_EQ(s.error(), std::nullopt);
        EXPECT_EQ(inboxWhenListed.value_or(s.hasInbox()), s.hasInbox());
    }

    // A refresh answered after a later one (begun after a removal, say) keeps the later list.
    const QList<Account> newer{account("a1", "active", "new@example.com")};
    backend.accountsScript = {};
    backend.accountsScript.replies = {newer};
    backend.accountsScript.onCall = [&](int call) {
        if (call == 1) {
            inbox->refreshAccounts();
            backend.accountsScript.replies = {before};
        }
    };
    ASSERT_TRUE(runTask(inbox->refreshAccounts()));
    EXPECT_EQ(state->accounts(), newer);
}

using BrowserSignIn = AppStateTest;

// A check that fails (the backend briefly away) is shown while the wait goes on, and gone once a
// later check answers.
TEST_F(BrowserSignIn, SucceedsWhenTheInboxTurnsActiveAfterPendingAndFailedChecks)
{
    AppState& s = make();
    s.setError(QStringLiteral("an earlier failure"));
    backend.connectScript.replies = {signInLink};
    QStringList connectingDuringWait; // from the link's request on, so a second click finds it set
    QStringList errorsDuringWait;
    const auto note = [&](int) { connectingDuringWait.append(s.connecting().value_or("none")); };
    backend.connectScript.onCall = note;
    backend.accountsScript.onCall = [&](int call) {
        note(call);
        errorsDuringWait.append(s.error().value_or(""));
    };
    backend.accountsScript.replies = {
        QList<Account>{account("acc-new", "pending")}, Unexpected{serverError},
        QList<Account>{account("acc-old", "active"), account("acc-new", "pending")},
        QList<Account>{account("acc-new", "active", "me@gmail.com")}};

    runTask(inbox->connectProvider("gmail"));

    EXPECT_EQ(backend.connectedProviders, QStringList{"gmail"});
    EXPECT_EQ(opened, QList<QUrl>{signInLink.url});
    EXPECT_EQ(clock.sleeps, (QList<std::chrono::nanoseconds>{2s, 2s, 2s, 2s}));
    EXPECT_EQ(connectingDuringWait, (QStringList{"gmail", "gmail", "gmail", "gmail", "gmail"}));
    EXPECT_EQ(errorsDuringWait, (QStringList{"", "", "Server error 500", ""}));
    EXPECT_EQ(s.connecting(), std::nullopt);
    EXPECT_EQ(s.error(), std::nullopt);
}

// Each way the wait for the browser's sign-in ends without an inbox; a removed inbox ends it quietly
// (nothing is left to sign in to), and so does a cancel, which takes away the pending inbox the sign-in
// made: not one the list had before, nor one whose sign-in finished meanwhile.
TEST_F(BrowserSignIn, EndsWithoutAnInboxOnTheLastCheckARefusedLinkOrACancel)
{
    const QList<Account> pending{account("acc-old", "pending"), account("acc-new", "pending")};
    const QList<Account> signedIn{account("acc-old", "pending"), account("acc-new", "active")};
    const struct {
        const char* name;
        BackendResult<ConnectLink> link;
        std::vector<BackendResult<QList<Account>>> checks;
        std::optional<int> cancelAtCheck; // none: never; 0: while the link is asked for
        int listings;                     // the wait's checks, and a cancel's look before and after removing
        const char* error;                // "": none
        bool dropped;                     // the pending inbox the sign-in made is taken away
    } rows[] = {
        {"gives up", signInLink, {pending}, {}, 150, timedOut, false},
        {"checks keep failing", signInLink, {Unexpected{serverError}}, {}, 150, "Server error 500", false},
        {"link refused", Unexpected{unknownProvider}, {}, {}, 0, "Unknown provider", false},
        {"inbox removed", signInLink, {pending, QList<Account>{}}, {}, 2, "", false},
        {"cancelled after a failed check", signInLink, {Unexpected{serverError}, pending}, 2, 4, "", true},
        {"cancelled while the link is asked for", signInLink, {pending}, 0, 2, "", true},
        {"cancelled as the sign-in finished", signInLink, {pending, pending, signedIn}, 2, 3, "", false},
        {"the inbox there before", ConnectLink{signInLink.url, "acc-old"}, {pending}, 1, 1, "", false},
    };
    QStringList connecting; // each assignment, in order; outlives the states
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AppState& s = make();
        s.setAccounts({account("acc-old", "pending")});
        backend.connectScript = {};
        backend.accountsScript = {};
        backend.removedAccounts.clear();
        opened.clear();
        connecting.clear();
        QObject::connect(&s, &AppState::connectingChanged, &s,
                         [&connecting, &s] { connecting.append(s.connecting().value_or("none")); });
        backend.connectScript.replies = {row.link};
        backend.removeScript.replies = {Done{}};
        backend.accountsScript.replies = row.checks;
        backend.connectScript.onCall = [&](int) {
            if (row.cancelAtCheck == 0)
                inbox->cancelConnect();
        };
        backend.accountsScript.onCall = [&](int call) {
            if (call == row.cancelAtCheck)
                inbox->cancelConnect();
        };

        runTask(inbox->connectProvider("outlook"));

        EXPECT_EQ(backend.accountsScript.calls, row.listings);
        EXPECT_EQ(opened.isEmpty(), !row.link || row.cancelAtCheck == 0);
        EXPECT_EQ(s.error().value_or(""), row.error);
        EXPECT_EQ(connecting, (QStringList{"outlook", "none"})); // a cancelled wait sets it no more
        EXPECT_EQ(backend.removedAccounts, row.dropped ? QStringList{"acc-new"} : QStringList{});
    }

    // A sign-in begun while a cancelled one still waits for its link goes on as usual: the cancelled
    // one opens no page, leaves the new wait running and takes away only its own inbox.
    AppState& s = make();
    FakeClock waiting(FakeClock::Sleeps::wait); // holds the new wait in its first sleep
    InboxConnection connection(s, InboxConnectionServices{backend, settings, waiting, timings,
                                                          [this](const QUrl& url) { opened.append(url); }});
    backend.connectScript = {};
    backend.accountsScript = {};
    backend.removedAccounts.clear();
    opened.clear();
    const ConnectLink gmailLink{QUrl("https://accounts.example.com/signin?state=2"), "acc-2"};
    backend.connectScript.replies = {gmailLink};
    backend.connectScript.onCall = [&](int call) {
        if (call == 1) {
            connection.cancelConnect();
            connection.connectProvider("gmail");
            backend.connectScript.replies = {signInLink};
        }
    };
    backend.accountsScript.replies = {
        QList<Account>{account("acc-new", "pending"), account("acc-2", "pending")},
        QList<Account>{account("acc-2", "pending")}, QList<Account>{account("acc-2", "active")}};
    runTask(connection.connectProvider("outlook"));
    EXPECT_EQ(s.connecting(), std::optional<QString>("gmail"));
    EXPECT_EQ(backend.removedAccounts, QStringList{"acc-new"});
    waiting.advance(2s);
    EXPECT_EQ(opened, QList<QUrl>{gmailLink.url});
    EXPECT_EQ(s.connecting(), std::nullopt);
}

using IMAPInbox = AppStateTest;

// An added inbox (its address passed on as typed) shows after the refresh that follows, a removed one
// is gone; a refusal is shown and nothing refreshed, and so is a failing refresh after a change.
TEST_F(IMAPInbox, AddingOrRemovingRefreshesTheListAndShowsEachFailure)
{
    AppState& s = make();
    const Account added = account("imap-1", "active", "me@fastmail.com", "imap");
    backend.addIMAPScript.replies = {Unexpected{BackendError{400, "Invalid credentials"}}, added};
    backend.removeScript.replies = {Unexpected{BackendError{404, "No such inbox"}}, Done{}};
    backend.accountsScript.replies = {QList<Account>{added}, QList<Account>{}, Unexpected{serverError}};

    EXPECT_FALSE(runTask(inbox->addIMAP("me@yahoo.com", "wrong", "imap.mail.yahoo.com")));
    EXPECT_EQ(s.error(), QStringLiteral("Invalid credentials"));
    EXPECT_TRUE(runTask(inbox->addIMAP(" me@fastmail.com", "app pass", "imap.fastmail.com")));
    EXPECT_EQ(backend.addedIMAP.last(), (QStringList{" me@fastmail.com", "app pass", "imap.fastmail.com"}));
    EXPECT_EQ(s.accounts(), QList<Account>{added});
    EXPECT_TRUE(s.hasInbox());

    runTask(inbox->removeAccount("a1"));
    EXPECT_EQ(s.error(), QStringLiteral("No such inbox"));
    EXPECT_EQ(backend.accountsScript.calls, 1);
    // Succeeds: the earlier refusal no longer shows, nor does a second confirm sent meanwhile.
    backend.removeScript.onCall = [&](int call) {
        if (call == 2)
            inbox->removeAccount("imap-1");
    };
    runTask(inbox->removeAccount("imap-1"));
    EXPECT_EQ(backend.removedAccounts, (QStringList{"a1", "imap-1"}));
    EXPECT_TRUE(s.accounts().isEmpty());
    EXPECT_FALSE(s.hasInbox());
    EXPECT_EQ(s.error(), std::nullopt);

    EXPECT_FALSE(runTask(inbox->addIMAP("me@fastmail.com", "pass", "imap.fastmail.com")));
    EXPECT_EQ(s.error(), QStringLiteral("Server error 500"));
    runTask(inbox->removeAccount("imap-1"));
    EXPECT_EQ(s.error(), QStringLiteral("Server error 500"));
}
