#include "desktop/screen/DesktopRig.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

namespace tessary::test {

namespace {

QRect rectOf(const QJsonObject& rect)
{
    return QRect(rect["x"].toInt(), rect["y"].toInt(), rect["width"].toInt(), rect["height"].toInt());
}

// The process's visible windows in sway's tree, tiled and floating. Layer surfaces (the chip) are
// not in the tree: sway's IPC does not list them.
void collectWindows(const QJsonObject& node, qint64 pid, QList<ShownWindow>& windows)
{
    if (node["pid"].toInteger() == pid && node["visible"].toBool())
        windows.append({QString::number(node["id"].toInteger()), node["name"].toString(),
                        rectOf(node["rect"].toObject())});
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node[children].toArray())
            collectWindows(child.toObject(), pid, windows);
}

// Headless sway: wtype's virtual keyboards, tests/desktop/wayland's virtual pointer, sway's IPC for
// windows and grim for the screen.
class SwayRig final : public DesktopRig {
public:
    ~SwayRig() override
    {
        stopChild(m_pointer);
        stopChild(m_keyboard);
    }

    // Headless sway has no input devices, where a desktop has a keyboard and a pointer all along:
    // with no keyboard no window becomes active and no focus events arrive, and a click's own
    // pointer device would come and go before the window under it had asked the seat for the
    // pointer. Both are held for the test's whole life: a wtype that sleeps before its one key, and
    // wayland-click --hold.
    void holdDevices() override
    {
        if (m_pointer.state() != QProcess::NotRunning)
            return;
        m_keyboard.start("wtype", {"-s", "2000000000", "-k", "Escape"});
        m_pointer.start(QStringLiteral(TESSARY_WAYLAND_CLICK), {"--hold"});
        m_keyboard.waitForStarted(5000);
        m_pointer.waitForStarted(5000);
        settle(std::chrono::milliseconds(200));
    }

    // wayland-click places its pointer within the whole layout of outputs.
    bool click(int x, int y) override
    {
        holdDevices();
        QRect layout;
        for (const QJsonValue& screen : jsonOutput("swaymsg", {"-t", "get_outputs", "-r"}).array())
            layout |= rectOf(screen["rect"].toObject());
        return layout.right() > 0 &&
               run(QStringLiteral(TESSARY_WAYLAND_CLICK),
                   {QString::number(x), QString::number(y), QString::number(layout.right() + 1),
                    QString::number(layout.bottom() + 1)});
    }

    // wtype holds modifiers with -M and lets them go with -m; "super" is its "logo".
    bool pressKeys(const QString& combination) override
    {
        QStringList modifiers = combination.split(QLatin1Char('+'));
        const QString key = modifiers.takeLast();
        modifiers.replaceInStrings(QRegularExpression("^super$"), "logo");
        QStringList arguments;
        for (const QString& modifier : modifiers)
            arguments << "-M" << modifier;
        arguments << "-k" << key;
        for (auto modifier = modifiers.crbegin(); modifier != modifiers.crend(); ++modifier)
            arguments << "-m" << *modifier;
        return run("wtype", arguments);
    }

    QList<ShownWindow> shownWindows(qint64 pid) override
    {
        QList<ShownWindow> windows;
        collectWindows(jsonOutput("swaymsg", {"-t", "get_tree", "-r"}).object(), pid, windows);
        return windows;
    }

    // PPM rather than PNG: a shot taken again and again should not wait for compression.
    QImage screenShot(const QRect& rect) override
    {
        QStringList arguments{"-t", "ppm"};
        if (!rect.isNull())
            arguments << "-g"
                      << QStringLiteral("%1,%2 %3x%4")
                             .arg(rect.x())
                             .arg(rect.y())
                             .arg(rect.width())
                             .arg(rect.height());
        const std::optional<QByteArray> shot = output("grim", arguments << "-");
        return shot ? QImage::fromData(*shot, "PPM") : QImage();
    }

private:
    QProcess m_keyboard;
    QProcess m_pointer;
};

} // namespace

std::unique_ptr<DesktopRig> makeSwayRig()
{
    return std::make_unique<SwayRig>();
}

} // namespace tessary::test
