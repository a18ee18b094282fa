#include "AppViewTestSupport.h"
#include "app/Look.h"
#include "app/PopoverParts.h"
#include "app/PopoverView.h"
#include "chip/DarkPalette.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace tessary::test {
namespace {

class PopoverTest : public AppViewTest {
protected:
    std::unique_ptr<PopoverView> popover(bool developerBuild = false)
    {
        const PopoverActions actions{
            [this](const FoundCode& code) { copied.append(code.code); }, [] {}, [] {}, [] {}, [] {}, [] {}};
        return std::make_unique<PopoverView>(*state, clock, actions, developerBuild);
    }
    QStringList copied;
};

TEST_F(PopoverTest, HeaderNamesTheFirstCaseThatHolds)
{
    const TimePoint now = clock.now();
    const QList<Account> one = {account("a", "active", "me@x.org")};
    struct Row {
        const char* name;
        QList<Account> accounts;
        bool trusted;
        std::optional<TimePoint> pausedUntil;
        popover::Header header;
        QString text; // empty: not checked
    } rows[] = {
        {"no inbox", {}, true, {}, popover::Header::notSetUp, "⚠ Setup isn't finished"},
        {"no access", one, false, {}, popover::Header::notSetUp, {}},
        {"one address", one, true, {}, popover::Header::watching, "Watching me@x.org"},
        {"paused", one, true, now + 60, popover::Header::paused, {}},
        {"pause over", one, true, now - 1, popover::Header::watching, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        accessibility->trusted = row.trusted;
        makeContext();
        state->setAccounts(row.accounts);
        state->setPausedUntil(row.pausedUntil);
        const auto view = popover();
        EXPECT_EQ(view->header(), row.header);
        if (!row.text.isEmpty()) {
            EXPECT_EQ(view->findChild<QLabel*>("headerText")->text(), row.text);
        }
        EXPECT_EQ(view->findChild<QToolButton*>("pause") != nullptr, row.header == popover::Header::watching);
    }
}

TEST_F(PopoverTest, AgeTextCountsWholeUnitsAndPauseItemsEndAndResume)
{
    const std::pair<double, const char*> rows[] = {{0, "0s"},    {59.9, "59s"},  {60, "1m"},    {3599, "59m"},
                                                   {3600, "1h"}, {86399, "23h"}, {86400, "1d"}, {-5, "0s"}};
    for (const auto& [seconds, text] : rows)
        EXPECT_EQ(popover::ageText(1000.0, 1000.0 + seconds), QString::fromUtf8(text)) << text;
    const QDateTime lateEvening(QDate(2025, 3, 4), QTime(23, 59));
    const TimePoint at = double(lateEvening.toSecsSinceEpoch());
    EXPECT_EQ(popover::pauseEnd(popover::Pause::untilTomorrow, at), at + 60); // at midnight

    accessibility->trusted = true;
    makeContext();
    state->setAccounts({account("a", "active", "me@x.org")});
    const auto view = popover();
    view->findChild<QToolButton*>("pause")->menu()->actions().at(1)->trigger();
    ASSERT_EQ(state->pausedUntil(), clock.now() + 3600);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->header(), popover::Header::paused);
    EXPECT_TRUE(view->findChild<QLabel*>("headerText")->text().startsWith("Paused until "));
    for (QPushButton* button : view->findChildren<QPushButton*>())
        if (button->text() == "Resume" && button->isVisibleTo(view.get()))
            button->click();
    EXPECT_FALSE(state->pausedUntil());
}

TEST_F(PopoverTest, FooterAndEmptyTextFollowBuildAndShortcut)
{
    for (const bool developer : {false, true}) {
        SCOPED_TRACE(developer);
        settings.values.clear();
        makeContext(developer);
        const auto view = popover(developer);
        const QStringList footer = visibleTexts<FooterButton>(*view);
        const QStringList expected = developer ? QStringList{"Settings…", "Restart onboarding", "Quit"}
                                               : QStringList{"Settings…", "Check for Updates", "Quit"};
        EXPECT_EQ(footer, expected);
        EXPECT_EQ(view->findChild<QLabel*>("emptyText")->text(),
                  "Codes you receive will show up here. Press " + state->shortcut()->display() +
                      " in any field to type the newest one.");
        state->setShortcut(std::nullopt);
        QCoreApplication::processEvents();
        EXPECT_EQ(view->findChild<QLabel*>("emptyText")->text(), "Codes you receive will show up here.");
    }
}

TEST_F(PopoverTest, RowShowsCodeHoverAndCopy)
{
    makeContext();
    state->setRecent(
        {FoundCode{"012345", "s", "shop.com", clock.now() - 3599, 0, {}},
         FoundCode{"AB-12", "s", "b.org", clock.now(), 0, {}},
         FoundCode{"A1B2C3D4E5F6", "", "", clock.now(), 0, {}, "Jean-Christophe's Galaxy S23 Ultra"}});
    const auto view = popover();
    const QList<CodeRow*> rows = view->rows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0]->codeText(), "012 345");
    EXPECT_EQ(rows[1]->codeText(), "AB-12");
    EXPECT_EQ(rows[0]->ageText(), "59m");
    clock.advance(std::chrono::seconds(1)); // the popover opens a moment after the code came
    view->show();
    EXPECT_EQ(rows[0]->ageText(), "1h");
    // Where the code came from gives way to the code: shortened, not cut off at the popover's edge.
    const auto* origin = rows[2]->findChild<ElidedLabel*>();
    ASSERT_TRUE(origin);
    EXPECT_TRUE(origin->shownText().contains(QChar(0x2026))) << origin->shownText().toStdString();
    EXPECT_LE(origin->fontMetrics().horizontalAdvance(origin->shownText()), origin->contentsRect().width());
    EXPECT_EQ(rows[0]->secondText(), "shop.com");
    rows[0]->setHovering(true);
    EXPECT_EQ(rows[0]->secondText(), "Click to copy");
    rows[0]->click();
    EXPECT_EQ(rows[0]->secondText(), "Copied");
    EXPECT_EQ(copied, QStringList{"012345"});

    // The desktop turns dark while the popover lives: a code, where it came from and the footer follow.
    const QPalette light = QApplication::palette();
    QApplication::setPalette(darkDesktopPalette());
    QCoreApplication::processEvents();
    const QColor window = view->palette().color(QPalette::Window);
    for (const QWidget* text : std::initializer_list<const QWidget*>{rows[1]->findChild<QLabel*>(),
                                                                     rows[1]->findChild<ElidedLabel*>(),
                                                                     view->findChild<FooterButton*>()})
        EXPECT_GE(contrast(text->palette().color(text->foregroundRole()), window), 3)
            << text->property("text").toString().toStdString();
    QApplication::setPalette(light);
}

} // namespace
} // namespace tessary::test
