#include "chip/ChipView.h"
#include "chip/ChipParts.h"

#include <QAbstractButton>
#include <QLayout>
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
    found.senderDomain = QStringLiteral("example.com");
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

TEST(ChipStates, EachStateShowsItsRow)
{
    const struct {
        ChipModel::State state;
        QString name;
        QStringList row;
    } rows[] = {
        {ChipModel::Searching{}, "searching", {"(spinner)", "Waiting for a code", "(Dismiss)"}},
        {ChipModel::Searching{"example.com"},
         "searching",
         {"(spinner)", "Waiting for a code from example.com", "(Dismiss)"}},
        {ChipModel::Found{code("12345678")}, "found", {"[Fill]", "1234 5678", "example.com", "(Dismiss)"}},
        {ChipModel::Filled{code("123456")}, "filled", {"(check)", "Filled 123 456"}},
        {ChipModel::Failed{"No code arrived"}, "failed", {"No code arrived", "(Dismiss)"}},
        {ChipModel::WaitingForLink{std::nullopt, Kind::confirm},
         "waitingForLink",
         {"(spinner)", "Waiting for the confirmation email", "(Dismiss)"}},
        {ChipModel::WaitingForLink{"example.com", Kind::signIn},
         "waitingForLink",
         {"(spinner)", "Waiting for the sign-in email from example.com", "(Dismiss)"}},
        {ChipModel::Link{link(Kind::signIn)}, "link", {"[Open]", "Sign-in link", "example.com", "(Dismiss)"}},
        {ChipModel::Link{link(Kind::confirm)},
         "link",
         {"[Open]", "Confirmation link", "example.com", "(Dismiss)"}},
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
}

TEST(ChipStates, FailureMessageWidthFollowsItsLength)
{
    ChipModel model;
    ChipView view(model);
    model.setState(ChipModel::Failed{QStringLiteral("Wrong code")});
    EXPECT_EQ(row(view).first()->width(), 62);
    const QString longMessage(200, QLatin1Char('x')); // one unbroken word: it must wrap, not widen
    model.setState(ChipModel::Failed{longMessage});
    QWidget* message = row(view).first();
    EXPECT_EQ(message->width(), 320);
    EXPECT_GT(message->height(), 2 * message->fontMetrics().height());
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

} // namespace
} // namespace tessary
