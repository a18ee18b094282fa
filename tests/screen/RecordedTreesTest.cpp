// Detection over element trees recorded from Firefox ESR and Chromium (tessary-inspect dump of the
// desktop tests' pages, under tests/screen/trees/recorded/): the vocabulary real browsers give.

#include "fakes/FakeAccessibility.h"
#include "screen/CodeField.h"
#include "screen/LinkPage.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace tessary {
namespace {

using test::FakeAccessibility;

const QStringList browsers = {QStringLiteral("firefox"), QStringLiteral("chromium")};

std::unique_ptr<FakeAccessibility> recorded(const QString& browser, const QString& page,
                                            const QString& folder = QString())
{
    const QString path = QDir(QStringLiteral(TESSARY_RECORDED_TREES))
                             .filePath(folder + QStringLiteral("%1-%2.json").arg(browser, page));
    auto loaded = FakeAccessibility::fromFile(path);
    EXPECT_TRUE(loaded) << (loaded ? std::string() : loaded.error().toStdString());
    return loaded ? std::move(loaded.value()) : nullptr;
}

TEST(RecordedBrowserTrees, CodeFieldsAreDetectedWithTheirPageHost)
{
    for (const QString& browser : browsers) {
        for (const QString& page : {QStringLiteral("single-code"), QStringLiteral("six-boxes")}) {
            SCOPED_TRACE((browser + QLatin1Char(' ') + page).toStdString());
            const auto tree = recorded(browser, page);
            ASSERT_TRUE(tree);
            const std::optional<Element> focus = tree->focus();
            ASSERT_TRUE(focus);
            const std::optional<CodeField> field = CodeField::detect(*tree, *focus);
            ASSERT_TRUE(field);
            EXPECT_EQ(field->domain, QStringLiteral("127.0.0.1"));
            EXPECT_EQ(field->frame, tree->screenFrame(*focus));
        }
    }
}

TEST(RecordedBrowserTrees, PasswordAndSearchFieldsAreNotCodeFields)
{
    for (const QString& browser : browsers) {
        for (const QString& page : {QStringLiteral("password-field"), QStringLiteral("search-field")}) {
            SCOPED_TRACE((browser + QLatin1Char(' ') + page).toStdString());
            const auto tree = recorded(browser, page);
            ASSERT_TRUE(tree);
            ASSERT_TRUE(tree->focus());
            EXPECT_FALSE(CodeField::detect(*tree, *tree->focus()));
        }
    }
}

TEST(RecordedBrowserTrees, PageTextIsReadOnceWhereverTheBrowserPutsIt)
{
    // The page: a heading, then a paragraph with a bold address inside it, then the form.
    // Firefox keeps a paragraph's text in the paragraph, Chromium in static-text children and
    // again in the parent: either way each piece is read exactly once.
    for (const QString& browser : browsers) {
        SCOPED_TRACE(browser.toStdString());
        const auto tree = recorded(browser, QStringLiteral("single-code"));
        ASSERT_TRUE(tree);
        ASSERT_TRUE(tree->focus());
        const QString around = nearbyText(*tree, *tree->focus(), 2, 30);
        // The field's own label says nothing about codes: the prompt around it decides.
        EXPECT_FALSE(fieldLabel(*tree, *tree->focus()).contains(QStringLiteral("code")));
        EXPECT_EQ(around.count(QStringLiteral("Enter the code we sent")), 1) << around.toStdString();
        EXPECT_EQ(around.count(QStringLiteral("j***@example.com")), 1) << around.toStdString();
        EXPECT_TRUE(around.contains(QStringLiteral("It is valid for 10 minutes."))) << around.toStdString();
    }
}

TEST(RecordedBrowserTrees, LinkPagesAreRecognisedByKind)
{
    for (const QString& browser : browsers) {
        SCOPED_TRACE(browser.toStdString());
        const auto magic = recorded(browser, QStringLiteral("magic-link"));
        ASSERT_TRUE(magic);
        const std::optional<LinkPage> signIn = LinkPage::detect(*magic);
        ASSERT_TRUE(signIn);
        EXPECT_EQ(signIn->kind, FoundLink::Kind::signIn);
        EXPECT_EQ(signIn->host, QStringLiteral("127.0.0.1"));
        EXPECT_TRUE(signIn->anchor);
        EXPECT_EQ(signIn->appURL, magic->application->bundleURL);

        const auto confirm = recorded(browser, QStringLiteral("confirm-email"));
        ASSERT_TRUE(confirm);
        const std::optional<LinkPage> confirmPage = LinkPage::detect(*confirm);
        ASSERT_TRUE(confirmPage);
        EXPECT_EQ(confirmPage->kind, FoundLink::Kind::confirm);
    }
}

} // namespace
} // namespace tessary

namespace tessary {
namespace {

// The code and ordinary fields of the pages modelled on real sites (tests/pages/sites.tsv), recorded
// from both browsers: the verdicts the live desktop test measures, without a browser.
TEST(RecordedSitePages, CodeFieldsAreRecognisedAndOrdinaryFieldsTurnedAway)
{
    QFile list(QStringLiteral(TESSARY_TEST_PAGES "/sites.tsv"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly | QIODevice::Text));
    QList<QList<QByteArray>> sites;
    for (const QByteArray& line : list.readAll().split('\n'))
        if (!line.startsWith('#') && line.split('\t').size() == 3)
            sites.append(line.split('\t'));
    for (const QString& browser : browsers) {
        int codeFields = 0;
        for (const QList<QByteArray>& site : sites) {
            const QString name = QString::fromUtf8(site.at(0));
            const QByteArray expected = site.at(2);
            SCOPED_TRACE((browser + QLatin1Char(' ') + name).toStdString());
            // Link pages are recorded from the page down, without the browser window they are read
            // from; the live desktop test checks them.
            if (expected == "signIn" || expected == "confirm")
                continue;
            const auto tree = recorded(browser, name, QStringLiteral("sites/"));
            ASSERT_TRUE(tree);
            ASSERT_TRUE(tree->focus());
            const bool accepted = CodeField::detect(*tree, *tree->focus()).has_value();
            if (expected == "ordinary") {
                EXPECT_FALSE(accepted) << "an ordinary field taken for a code field";
            }
            codeFields += expected == "code" && accepted;
        }
        EXPECT_GE(codeFields, 27) << browser.toStdString() << ": fewer code fields than the README states";
    }
}

} // namespace
} // namespace tessary
