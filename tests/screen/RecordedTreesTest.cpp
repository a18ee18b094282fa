// Detection over element trees: those recorded from Firefox ESR and Chromium (tessary-inspect dump
// of the desktop tests' pages, under tests/screen/trees/recorded/) hold the vocabulary real browsers
// give, read through the tree files' one-time mapping; those written by hand (trees/written/) hold
// one rule each. Every page must keep the verdict, and the reason, its verdicts.tsv holds.

#include "fakes/FakeAccessibility.h"
#include "screen/CodeField.h"
#include "screen/FieldClassification.h"
#include "screen/LinkPage.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

namespace tessary {
namespace {

using test::FakeAccessibility;

const QStringList browsers = {QStringLiteral("firefox"), QStringLiteral("chromium")};
const QDir trees(QStringLiteral(TESSARY_TREES "/recorded"));
const QDir written(QStringLiteral(TESSARY_TREES "/written"));

std::unique_ptr<FakeAccessibility> loadTree(const QDir& dir, const QString& name)
{
    auto loaded = FakeAccessibility::fromFile(dir.filePath(name));
    EXPECT_TRUE(loaded) << (loaded ? std::string() : loaded.error().toStdString());
    return loaded ? std::move(loaded.value()) : nullptr;
}

// The rows of the verdicts.tsv in `dir`, its comments left out.
QList<QStringList> verdictRows(const QDir& dir)
{
    QFile verdicts(dir.filePath("verdicts.tsv"));
    EXPECT_TRUE(verdicts.open(QIODevice::ReadOnly | QIODevice::Text));
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(verdicts.readAll()).split('\n', Qt::SkipEmptyParts))
        if (!line.startsWith('#'))
            rows.append(line.split('\t'));
    return rows;
}

// "sites/en-zip" recorded in Firefox: "sites/firefox-en-zip.json".
QString treeFile(const QString& page, const QString& browser)
{
    return page.section('/', 0, -2, QString::SectionIncludeTrailingSep) + browser + '-' +
           page.section('/', -1) + ".json";
}

TEST(RecordedTrees, EveryPageGivesItsVerdictForItsReason)
{
    QStringList checked;
    for (const QStringList& columns : verdictRows(trees)) {
        const QString verdict = columns.value(1);
        for (const QString& browser : browsers) {
            const QString file = treeFile(columns[0], browser);
            SCOPED_TRACE(file.toStdString());
            checked.append(file);
            const auto tree = loadTree(trees, file);
            ASSERT_TRUE(tree);
            if (verdict == "signIn" || verdict == "confirm") {
                const std::optional<LinkPage> linkPage = LinkPage::detect(*tree);
                ASSERT_TRUE(linkPage);
                EXPECT_EQ(linkPage->kind,
                          verdict == "confirm" ? FoundLink::Kind::confirm : FoundLink::Kind::signIn);
                EXPECT_EQ(linkPage->host, QStringLiteral("127.0.0.1"));
                EXPECT_TRUE(linkPage->anchor);
                EXPECT_EQ(linkPage->appURL, tree->application->appPath);
                continue;
            }
            ASSERT_TRUE(tree->focus());
            const FieldVerdict field = classifyField(*tree, *tree->focus());
            EXPECT_EQ(field.accepted, verdict == "code");
            EXPECT_EQ(field.reason, columns.value(2));
            if (const std::optional<CodeField> code = CodeField::detect(*tree, *tree->focus())) {
                EXPECT_EQ(code->domain, QStringLiteral("127.0.0.1"));
                EXPECT_EQ(code->frame, tree->screenFrame(*tree->focus()));
            }
        }
    }
    // Every recording has its verdict.
    QDirIterator files(trees.path(), {"*.json"}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        EXPECT_TRUE(checked.contains(trees.relativeFilePath(files.next()))) << files.filePath().toStdString();
}

// Each written tree's verdict, as its verdicts.tsv explains, within its read budget.
TEST(WrittenTrees, EveryTreeGivesItsVerdictForItsReason)
{
    for (const QStringList& row : verdictRows(written)) {
        SCOPED_TRACE(row.join(' ').toStdString());
        const QString verdict = row.value(1);
        if (verdict == "malformed") {
            const QString path = written.filePath(row[0] + ".json");
            const auto refused = FakeAccessibility::fromFile(path);
            EXPECT_EQ(refused ? QString() : refused.error(), path + ": " + row.value(2));
            continue;
        }
        const auto tree = loadTree(written, row[0] + ".json");
        ASSERT_TRUE(tree);
        tree->resetReads();
        if (verdict == "pageText") {
            EXPECT_EQ(pageText(*tree, tree->root(), linkPageBudget::pageText).text, row.value(2));
            continue;
        }
        if (verdict == "signIn" || verdict == "confirm" || verdict == "noLink") {
            const std::optional<LinkPage> page = LinkPage::detect(*tree);
            EXPECT_EQ(page ? kindName(page->kind) : QStringLiteral("noLink"), verdict);
            EXPECT_EQ(page ? page->url : QString(), row.value(2));
            EXPECT_LE(tree->reads(), linkPageBudget::maxReads);
            continue;
        }
        ASSERT_TRUE(tree->focus());
        if (verdict == "label") {
            EXPECT_EQ(fieldLabel(*tree, *tree->focus()), row.value(2));
        } else if (verdict == "nearby") {
            EXPECT_EQ(nearbyText(*tree, *tree->focus(), row.value(2).toInt(), 30), row.value(3));
            EXPECT_LE(tree->reads(), codeFieldBudget::aroundReads);
        } else {
            const FieldVerdict field = classifyField(*tree, *tree->focus());
            EXPECT_EQ(field.accepted, verdict == "code");
            EXPECT_EQ(field.reason, row.value(2));
            tree->resetReads();
            const std::optional<CodeField> code = CodeField::detect(*tree, *tree->focus());
            EXPECT_EQ(code ? code->domain.value_or("-") : QString(), row.value(3));
            EXPECT_LE(tree->reads(), codeFieldBudget::maxReads);
        }
    }
}

TEST(RecordedTrees, PageTextIsReadOnceWhereverTheBrowserPutsIt)
{
    // The page: a heading, then a paragraph with a bold address inside it, then the form.
    // Firefox keeps a paragraph's text in the paragraph, Chromium in static-text children and
    // again in the parent: either way each piece is read exactly once.
    for (const QString& browser : browsers) {
        SCOPED_TRACE(browser.toStdString());
        const auto tree = loadTree(trees, browser + QStringLiteral("-single-code.json"));
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

} // namespace
} // namespace tessary
