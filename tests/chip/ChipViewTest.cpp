#include "chip/ChipView.h"
#include "chip/ChipPanel.h"
#include "chip/ChipParts.h"
#include "chip/ChipPlacement.h"
#include "chip/DarkPalette.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLayout>
#include <QPropertyAnimation>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace tessary {
namespace {

using Kind = FoundLink::Kind;

FoundCode code(const QString& text)
{
    FoundCode found;
    found.code = text;
    found.senderDomain = QStringLiteral("example.com");
    return found;
}

FoundLink link(Kind kind)
{
    FoundLink found;
    found.kind = kind;
    found.senderDomain = QStringLiteral("xn--bcher-kva.de");
    return found;
}

// The chip's row as a user reads it, left to right: "(spinner)", "(check)", "[Fill]", "(Dismiss)" or a text.
QList<QWidget*> row(ChipView& view)
{
    view.layout()->activate();
    QList<QWidget*> shown;
    for (QWidget* child : view.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isHidden())
            shown.append(child);
    std::sort(shown.begin(), shown.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
    return shown;
}

QStringList read(const QList<QWidget*>& widgets)
{
    QStringList words;
    for (QWidget* widget : widgets) {
        if (qobject_cast<Spinner*>(widget))
            words << QStringLiteral("(spinner)");
        else if (qobject_cast<CheckMark*>(widget))
            words << QStringLiteral("(check)");
        else if (auto* close = qobject_cast<CloseButton*>(widget))
            words << QLatin1Char('(') + close->toolTip() + QLatin1Char(')');
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            words << QLatin1Char('[') + button->text() + QLatin1Char(']');
        else if (auto* label = qobject_cast<QLabel*>(widget))
            words << label->text();
    }
    return words;
}

// Clicks the button the row reads as `word`; false when there is none.
bool click(ChipView& view, const QString& word)
{
    for (QWidget* widget : row(view))
        if (auto* button = qobject_cast<QAbstractButton*>(widget);
            button && read({widget}) == QStringList{word}) {
            QTest::mouseClick(button, Qt::LeftButton);
            return true;
        }
    return false;
}

TEST(ChipStates, EachStateShowsItsRowAFailureAsWideAsItsMessage)
{
    const struct {
        ChipModel::State state;
        QString name;
        QStringList row;
    } rows[] = {
        {ChipModel::Searching{}, "searching", {"(spinner)", "Waiting for a code", "(Dismiss)"}},
        {ChipModel::Searching{"xn--bcher-kva.de"},
         "searching",
         {"(spinner)", "Waiting for a code from bücher.de", "(Dismiss)"}},
        {ChipModel::Found{code("12345678")}, "found", {"[Fill]", "1234 5678", "example.com", "(Dismiss)"}},
        {ChipModel::Filled{code("123456")}, "filled", {"(check)", "Filled 123 456"}},
        {ChipModel::Failed{"No code arrived"}, "failed", {"No code arrived", "(Dismiss)"}},
        {ChipModel::WaitingForLink{std::nullopt, Kind::confirm},
         "waitingForLink",
         {"(spinner)", "Waiting for the confirmation email", "(Dismiss)"}},
        {ChipModel::WaitingForLink{"xn--80ak6aa92e.com", Kind::signIn}, // "аррӏе.com" in Cyrillic
         "waitingForLink",
         {"(spinner)", "Waiting for the sign-in email from xn--80ak6aa92e.com", "(Dismiss)"}},
        {ChipModel::Link{link(Kind::signIn)}, "link", {"[Open]", "Sign-in link", "bücher.de", "(Dismiss)"}},
        {ChipModel::Link{link(Kind::confirm)},
         "link",
         {"[Open]", "Confirmation link", "bücher.de", "(Dismiss)"}},
        {ChipModel::Opened{Kind::confirm}, "opened", {"(check)", "Opened the confirmation link"}},
    };
    ChipModel model;
    ChipView view(model);
    for (const auto& expected : rows) {
        SCOPED_TRACE(expected.row.join(QLatin1Char('|')).toStdString());
        model.setState(expected.state);
        EXPECT_EQ(stateName(model.state()), expected.name);
        const QList<QWidget*> shown = row(view);
        EXPECT_EQ(read(shown), expected.row);
        // Rows that open with a button sit closer to the edge; every chip is at least 30 high.
        const bool button = expected.row.first().startsWith(QLatin1Char('['));
        EXPECT_EQ(shown.first()->x(), button ? 5 : 10);
        EXPECT_EQ(view.width(), shown.last()->geometry().right() + 1 + 6);
        EXPECT_GE(view.height(), 30);
    }

    // A failure's width follows its message: a short one stands on one line, whatever the font.
    model.setState(ChipModel::Failed{QStringLiteral("No code arrived")});
    EXPECT_EQ(row(view).first()->height(), row(view).first()->fontMetrics().height());
    const QString longMessage(200, QLatin1Char('x')); // one unbroken word: it must wrap, not widen
    model.setState(ChipModel::Failed{longMessage});
    QWidget* message = row(view).first();
    EXPECT_EQ(message->width(), 320);
    EXPECT_GT(message->height(), 2 * message->fontMetrics().height());

    // The desktop turns dark under a shown chip: the message turns light on it.
    const QPalette light = QApplication::palette();
    QApplication::setPalette(darkDesktopPalette());
    QCoreApplication::processEvents();
    EXPECT_GT(row(view).first()->palette().color(QPalette::WindowText).lightness(),
              view.palette().color(QPalette::Window).lightness());
    QApplication::setPalette(light);
}

TEST(ChipButtons, ClicksRunTheirCallbacksAndUnsetOnesNothing)
{
    ChipModel model;
    ChipView view(model);
    view.show();
    int fills = 0, closes = 0;
    model.onFill = [&] {
        ++fills;
        model.setState(ChipModel::Filled{code("123456")}); // the engine replaces the row mid-click
    };
    model.onClose = [&] { ++closes; };
    model.setState(ChipModel::Found{code("123456")});
    EXPECT_TRUE(click(view, "(Dismiss)"));
    EXPECT_TRUE(click(view, "[Fill]"));
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(stateName(model.state()), "filled");

    model.setState(ChipModel::Link{link(Kind::signIn)});
    const quint64 before = model.changes();
    EXPECT_TRUE(click(view, "[Open]"));
    EXPECT_EQ(model.changes(), before);
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(closes, 1);
}

TEST(ChipPlacement, FollowsTheFieldWithinTheVisibleArea)
{
    // Screen pixels, top-left origin. A 1000 × 800 screen with a 40-high dock at the bottom, and a
    // second screen to its right.
    const QList<ScreenArea> screens = {{{0, 0, 1000, 800}, {0, 0, 1000, 760}},
                                       {{1000, 0, 800, 600}, {1000, 0, 800, 600}}};
    // A laptop's 1024 × 600 primary screen beside a taller 1280 × 1024 monitor: the layout is
    // taller than the primary screen, so nothing may measure from the primary screen's height.
    const QList<ScreenArea> laptopAndMonitor = {{{0, 0, 1024, 600}, {0, 0, 1024, 600}},
                                                {{1024, 0, 1280, 1024}, {1024, 0, 1280, 1024}}};
    const QSize chip(200, 30);
    const QPoint pointer(500, 300);
    const struct {
        const char* name;
        const QList<ScreenArea>& screens;
        std::optional<Rect> field;
        Rect chip;
    } rows[] = {
        {"below the field", screens, Rect{100, 380, 150, 20}, {100, 404, 200, 30}},
        {"above a field near the dock", screens, Rect{100, 720, 150, 20}, {100, 686, 200, 30}},
        {"pushed left at the right edge", screens, Rect{900, 380, 80, 20}, {796, 404, 200, 30}},
        {"kept inside the second screen", screens, Rect{1700, 280, 90, 20}, {1596, 304, 200, 30}},
        {"off every screen", screens, Rect{5000, 380, 80, 20}, {5000, 404, 200, 30}},
        {"at the pointer without a field", screens, std::nullopt, {512, 312, 200, 30}},
        {"on the shorter primary screen", laptopAndMonitor, Rect{100, 300, 150, 20}, {100, 324, 200, 30}},
        {"on the taller second screen", laptopAndMonitor, Rect{1100, 700, 200, 30}, {1100, 734, 200, 30}},
        {"below the primary's bottom", laptopAndMonitor, Rect{1100, 980, 200, 30}, {1100, 946, 200, 30}},
    };
    for (const auto& expected : rows) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(chipFrame(chip, expected.field, expected.screens, pointer), expected.chip);
    }
}

TEST(ChipPanel, FadesInOnlyWhenItWasHidden)
{
    ChipPanel panel;
    panel.model().setState(ChipModel::Failed{QStringLiteral("No code arrived")});
    panel.place(Rect{100, 400, 150, 20});
    QWidget& window = panel.window();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(window.pos(), QPoint(100, 424));
    EXPECT_EQ(panel.fade().state(), QAbstractAnimation::Running);
    EXPECT_EQ(window.windowOpacity(), 0.0);

    panel.fade().setCurrentTime(panel.fade().duration());
    panel.model().setState(ChipModel::Searching{});
    panel.place(Rect{300, 200, 150, 20});
    EXPECT_EQ(panel.fade().state(), QAbstractAnimation::Stopped);
    EXPECT_EQ(window.windowOpacity(), 1.0);
    EXPECT_EQ(window.geometry().topLeft(), QPoint(300, 224));
    EXPECT_EQ(window.height(), 30);

    panel.hide();
    EXPECT_FALSE(panel.isVisible());
    panel.place(std::nullopt);
    EXPECT_EQ(panel.fade().state(), QAbstractAnimation::Running);
    EXPECT_EQ(window.windowOpacity(), 0.0);
}

} // namespace
} // namespace tessary
