#pragma once

#include "app/AppContext.h"
#include "fakes/FakeEngineSeams.h"
#include "state/AppStateTestSupport.h"

#include <QColor>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tessary::test {

// How far apart two colours stand for the eye, as WCAG reckons it: 1 (none) to 21 (black on white).
inline double contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// A window over a state made of fakes. Seed the fakes, then `makeContext()`.
class AppViewTest : public AppStateTest {
protected:
    AppContext& makeContext(bool developerBuild = false)
    {
        make(developerBuild);
        context = std::make_unique<AppContext>(AppContext{
            *state, *inbox, settings, clock, clipboard, [this](const QUrl& url) { opened.append(url); },
            [this](QObject*, std::function<void(QString, bool)> note) {
                ++grants;
                note(grantFails ? QStringLiteral("Accessibility could not be turned on.")
                                : QStringLiteral("Restart your browser once."),
                     grantFails);
            },
            developerBuild, [] { return whereSecretsAre(); }});
        return *context;
    }

    // Texts of the visible labels and buttons under `root`, in creation order.
    template <class W>
    static QStringList visibleTexts(const QWidget& root)
    {
        QStringList texts;
        for (const W* widget : root.findChildren<W*>())
            if (widget->isVisibleTo(&root))
                texts.append(widget->text());
        return texts;
    }

    FakeClipboard clipboard;
    int grants = 0;
    bool grantFails = false;
    std::unique_ptr<AppContext> context;

private:
    static QCoro::Task<QString> whereSecretsAre() { co_return QStringLiteral("In the keyring"); }
};

} // namespace tessary::test
