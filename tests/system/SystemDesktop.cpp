#include "system/SystemDesktop.h"

#include "state/ShortcutSetting.h"

#include <QRegularExpression>

namespace tessary::test {

using namespace std::chrono_literals;

std::unique_ptr<TessaryApp> SystemDesktop::startApp(int user, bool deleteAfterUse)
{
    // The application starts beside a browser already in front, as it does for a user who starts
    // it and goes on browsing. (Started with no active window, it was seen to miss a link page
    // in a browser brought to the front later, while a fresh process found that page.)
    activateBrowser();
    auto app = std::make_unique<TessaryApp>(*dovecot);
    app->setSetting(settingKey::deleteAfterUse, deleteAfterUse);
    if (!app->finishSetup(DovecotServer::user(user)) || !app->start() ||
        !waitUntil([&] { return accessibility->applicationElement(app->pid()).has_value(); }, 15s)) {
        std::fprintf(stderr, "tessary did not start: %s\n", app->log().c_str());
        return nullptr;
    }
    return app;
}

void SystemDesktop::activateBrowser()
{
    if (accessibility->frontmostApplication().value_or(RunningApplication{}).pid != browser->pid())
        xdotool({"search", "--onlyvisible", "--class", browser->desktopId(), "windowactivate", "--sync"});
}

std::optional<Element> SystemDesktop::focusField(const QString& page, const QString& id)
{
    activateBrowser();
    if (id.isEmpty())
        return loadAfresh(page);
    const std::optional<Clicked> field = focusAfresh(page, id);
    return field ? std::optional(field->element) : std::nullopt;
}

bool SystemDesktop::shows(TessaryApp& app, const QString& text, std::chrono::milliseconds timeout)
{
    return waitUntil([&] { return app.texts(*accessibility).join(QLatin1Char('\n')).contains(text); },
                     timeout);
}

bool SystemDesktop::clickButton(TessaryApp& app, const QString& title)
{
    return waitUntil([&] { return app.click(*accessibility, title); }, 10s);
}

bool SystemDesktop::clickTray()
{
    // A line such as: 0x600003 "panel": ("panel" "trayer")  24x24+0+0  +1256+0
    static const QRegularExpression panel(
        QStringLiteral("\\(\"panel\" \"trayer\"\\)\\s+(\\d+)x(\\d+)\\S*\\s+\\+(-?\\d+)\\+(-?\\d+)"));
    const QRegularExpressionMatch found =
        panel.match(QString::fromUtf8(output("xwininfo", {"-root", "-tree"}).value_or(QByteArray())));
    return found.hasMatch() && clickAt(Rect{found.captured(3).toInt(), found.captured(4).toInt(),
                                            found.captured(1).toInt(), found.captured(2).toInt()});
}

} // namespace tessary::test
