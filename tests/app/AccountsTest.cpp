#include "AppViewTestSupport.h"
#include "app/AccountsView.h"
#include "app/IMAPSheet.h"
#include "app/Look.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace tessary::test {
namespace {

using AccountsTest = AppViewTest;

TEST_F(AccountsTest, RowsProgressAndRemovalTitle)
{
    makeContext();
    AccountsView view(*context);
    const QString longAddress =
        QStringLiteral("verification.codes.for.all.my.shops@mail.example-company.com");
    Account refused = account("4", "error", "a@b.org");
    refused.error = QStringLiteral("<img src=\"file:///etc/passwd\">refused"); // a server's own words
    state->setAccounts({account("1", "active", std::nullopt, "imap"), account("2", "pending", "me@gmail.com"),
                        account("3", "active", longAddress), refused});
    state->setConnecting(QStringLiteral("outlook"));
    view.setFixedWidth(380); // as in the onboarding window
    view.show();
    QCoreApplication::processEvents();
    QList<QWidget*> rows = view.rows().findChildren<QWidget*>("account");
    ASSERT_EQ(rows.size(), 4);
    // An address too long for the row is shortened with an ellipsis, not cut off at the edge.
    const auto* longest = rows[2]->findChild<ElidedLabel*>("first");
    ASSERT_TRUE(longest);
    EXPECT_TRUE(longest->shownText().contains(QChar(0x2026))) << longest->shownText().toStdString();
    EXPECT_LE(longest->fontMetrics().horizontalAdvance(longest->shownText()),
              longest->contentsRect().width());
    EXPECT_EQ(longest->toolTip(), longAddress);
    EXPECT_EQ(rows[0]->findChild<QLabel*>("first")->text(), "IMAP");
    EXPECT_EQ(rows[0]->findChild<QLabel*>("second")->text(), "IMAP");
    EXPECT_EQ(rows[1]->findChild<QLabel*>("second")->text(), "Waiting for sign-in…");
    EXPECT_EQ(rows[3]->findChild<QLabel*>("second")->textFormat(), Qt::PlainText);
    EXPECT_EQ(view.progress().text(), "Finish signing in to Microsoft in your browser…");
    EXPECT_FALSE(view.gmail().isEnabled());
    EXPECT_FALSE(view.outlook().isEnabled());
    // Cancel, shown only while the sign-in is waited for, ends the wait at once and without a word.
    state->setError(QStringLiteral("Server error 500")); // a failed check's, said while waiting
    ASSERT_TRUE(view.cancelSignIn().isVisible());
    view.cancelSignIn().click();
    EXPECT_TRUE(view.gmail().isEnabled() && view.outlook().isEnabled());
    EXPECT_FALSE(view.cancelSignIn().isVisible() || view.progress().isVisible() || view.error().isVisible());
    EXPECT_EQ(view.other().menu()->actions().size(), IMAPPreset::all().size());
    EXPECT_EQ(removalTitle(state->accounts()[0]), "Remove this inbox?");
    EXPECT_EQ(removalTitle(state->accounts()[1]), "Remove me@gmail.com?");
}

// A preset knows its server; "Other (IMAP)" asks for it. A failed add keeps the sheet open with
// the error and what was typed, and a sheet opened later without it; an add is sent with only the
// address trimmed. Cancelled, an add leaves no inbox behind.
TEST_F(AccountsTest, SheetValidatesKeepsAFailureAndTrimsOnlyTheAddress)
{
    makeContext();
    const Account added{"9", "imap", "me@host.org", "active"};
    backend.addIMAPScript.replies = {Unexpected{BackendError{401, "Wrong password"}}, added};
    backend.accountsScript.replies = {QList<Account>{added}};
    AccountsView view(*context);
    view.openSheet(IMAPPreset::all().constFirst()); // iCloud
    ASSERT_TRUE(view.sheet());
    EXPECT_EQ(view.sheet()->host(), nullptr);
    view.openSheet(IMAPPreset::all().constLast());
    IMAPSheet* sheet = view.sheet();
    ASSERT_TRUE(sheet && sheet->host());
    EXPECT_FALSE(visibleTexts<QPushButton>(*sheet).contains("How to create one"));
    sheet->email().setText(" \tme@host.org ");
    sheet->password().setText("secret ");
    EXPECT_FALSE(sheet->addButton().isEnabled());
    sheet->host()->setText("imap.host.org\t");
    ASSERT_TRUE(sheet->addButton().isEnabled());
    backend.addIMAPScript.onCall = [&](int) {
        EXPECT_TRUE(sheet->working());
        EXPECT_EQ(sheet->addButton().text(), "Checking…");
        EXPECT_FALSE(sheet->addButton().isEnabled());
    };
    sheet->addButton().click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet->working(); }));
    EXPECT_EQ(view.sheet(), sheet);
    EXPECT_EQ(sheet->email().text(), " \tme@host.org ");
    EXPECT_FALSE(sheet->findChild<QLabel*>("error")->text().isEmpty());

    // A sheet opened again starts without the last one's failure.
    view.openSheet(IMAPPreset::all().constLast());
    sheet = view.sheet();
    EXPECT_TRUE(sheet->findChild<QLabel*>("error")->isHidden());
    sheet->email().setText(" \tme@host.org ");
    sheet->password().setText("secret ");
    sheet->host()->setText("imap.host.org\t");
    sheet->addButton().click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return backend.addedIMAP.size() == 2; }));
    EXPECT_EQ(backend.addedIMAP.value(1), (QStringList{"me@host.org", "secret ", "imap.host.org"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.sheet() == nullptr; }));

    // Cancelled while the backend checks it: the sheet goes at once, and an inbox the backend
    // added all the same is removed again, without a word; one it already had (a new app password
    // for it) stays.
    const Account another{"10", "imap", "you@host.org", "active"};
    backend.addIMAPScript.replies = {another, another, another, added}; // by call: the 3rd, the 4th
    backend.removeScript.replies = {Done{}};
    for (const QStringList& removed : {QStringList{"10"}, QStringList{"10"}}) {
        view.openSheet(IMAPPreset::all().constLast());
        sheet = view.sheet();
        sheet->email().setText("me@host.org");
        sheet->password().setText("secret");
        sheet->host()->setText("imap.host.org");
        backend.addIMAPScript.onCall = [&](int) {
            for (QPushButton* button : sheet->findChildren<QPushButton*>())
                if (button->text() == "Cancel")
                    button->click();
        };
        sheet->addButton().click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return view.sheet() == nullptr; }));
        EXPECT_EQ(backend.removedAccounts, removed);
        EXPECT_EQ(state->error(), std::nullopt);
    }
    EXPECT_EQ(state->accounts(), QList<Account>{added});
}

} // namespace
} // namespace tessary::test
