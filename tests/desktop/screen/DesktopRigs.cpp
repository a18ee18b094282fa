#include "common/AppIdentity.h"
#include "desktop/screen/DesktopDriver.h"
#include "platform/session/DesktopSession.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <linux/input-event-codes.h>

namespace tessary::test {

bool xdotool(const QStringList& arguments)
{
    return run("xdotool", arguments);
}

bool DesktopRig::openInBrowser(const QString& program, const QString& url)
{
    return run(program, {url});
}

namespace {

// Xvfb under openbox or mutter: xdotool's XTest input, its window search and xwininfo's geometry.
class X11Rig final : public DesktopRig {
public:
    bool click(int x, int y) override
    {
        return xdotool({"mousemove", QString::number(x), QString::number(y), "click", "1"});
    }
    bool pressKeys(const QString& combination) override { return xdotool({"key", combination}); }

    QList<ShownWindow> shownWindows(qint64 pid) override
    {
        static const QRegularExpression quoted("Window id: \\S+ \"(.*)\"");
        const auto number = [](const QString& info, const QString& label) {
            return QRegularExpression(QRegularExpression::escape(label) + ":\\s*(-?\\d+)")
                .match(info)
                .captured(1)
                .toInt();
        };
        const QString ids =
            QString::fromUtf8(output("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)})
                                  .value_or(QByteArray()));
        QList<ShownWindow> windows;
        for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const std::optional<QByteArray> bytes = output("xwininfo", {"-id", id});
            if (!bytes)
                continue;
            const QString info = QString::fromUtf8(*bytes);
            windows.append(
                {quoted.match(info).captured(1),
                 QRect(number(info, "Absolute upper-left X"), number(info, "Absolute upper-left Y"),
                       number(info, "Width"), number(info, "Height"))});
        }
        return windows;
    }

    // The chip is a window of its own here, found in shownWindows.
    QImage screenShot(const QRect&) override { return QImage(); }

    bool openInBrowser(const QString&, const QString& url) override
    {
        return xdotool({"key", "--clearmodifiers", "ctrl+l"}) && xdotool({"type", "--delay", "5", url}) &&
               pressKeys("Return");
    }
};

QRect rectOf(const QJsonObject& rect)
{
    return QRect(rect["x"].toInt(), rect["y"].toInt(), rect["width"].toInt(), rect["height"].toInt());
}

// The process's visible windows in sway's tree, tiled and floating. Layer surfaces (the chip) are
// not in the tree: sway's IPC does not list them.
void collectWindows(const QJsonObject& node, qint64 pid, QList<ShownWindow>& windows)
{
    if (node["pid"].toInteger() == pid && node["visible"].toBool())
        windows.append({node["name"].toString(), rectOf(node["rect"].toObject())});
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node[children].toArray())
            collectWindows(child.toObject(), pid, windows);
}

// Headless sway: virtual keyboards (wtype's, and tests/desktop/wayland's), its virtual pointer,
// sway's IPC for clicks and windows, and grim for the screen.
class SwayRig final : public DesktopRig {
public:
    ~SwayRig() override
    {
        stopChild(m_pointer);
        stopChild(m_keyboard);
    }

    // Headless sway has no input devices: with no keyboard no window becomes active, with no pointer
    // no click reaches one. Both are held for the test's life: a wtype that sleeps, wayland-pointer.
    void holdDevices() override
    {
        if (m_pointer.state() != QProcess::NotRunning)
            return;
        m_keyboard.start("wtype", {"-s", "2000000000", "-k", "Escape"});
        m_pointer.start(QStringLiteral(TESSARY_WAYLAND_POINTER));
        m_keyboard.waitForStarted(5000);
        m_pointer.waitForStarted(5000);
        settle(std::chrono::milliseconds(200));
    }

    // Sway's seat commands move the pointer held in holdDevices within the layout and press it.
    bool click(int x, int y) override
    {
        holdDevices();
        return run("swaymsg", {QStringLiteral("seat - cursor set %1 %2; seat - cursor press button1; "
                                              "seat - cursor release button1")
                                   .arg(x)
                                   .arg(y)});
    }

    // The keys of a US keyboard, which sway's bindings are made for (wtype's keyboard has keys of
    // its own); "super" is xkb's Mod4.
    bool pressKeys(const QString& combination) override
    {
        const QHash<QString, QString> xkbNames{{"super", "Mod4"}, {"shift", "Shift"}, {"ctrl", "Control"}};
        QStringList modifiers = combination.split(QLatin1Char('+'));
        QStringList arguments{"us", "0", modifiers.takeLast()};
        for (const QString& modifier : modifiers)
            arguments << xkbNames.value(modifier, modifier);
        return run(QStringLiteral(TESSARY_WAYLAND_KEY), arguments);
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
                      << QString::asprintf("%d,%d %dx%d", rect.x(), rect.y(), rect.width(), rect.height());
        const std::optional<QByteArray> shot = output("grim", arguments << "-");
        return shot ? QImage::fromData(*shot, "PPM") : QImage();
    }

private:
    QProcess m_keyboard;
    QProcess m_pointer;
};

// Headless KWin: fake input, windows and screenshots through tests/desktop/kwin's probe.
class KwinRig final : public DesktopRig {
public:
    ~KwinRig() override { stopChild(m_device); }

    // Headless KWin, too, gives no window the keyboard focus until a keyboard exists.
    void holdDevices() override
    {
        if (m_device.state() != QProcess::NotRunning)
            return;
        m_device.start(QStringLiteral(TESSARY_KWIN_PROBE), {"hold"});
        m_device.waitForStarted(5000);
        settle(std::chrono::milliseconds(200));
    }

    bool click(int x, int y) override
    {
        return run(QStringLiteral(TESSARY_KWIN_PROBE), {"click", QString::number(x), QString::number(y)});
    }

    // The keys the tests press on KWin, by their evdev codes, which fake input reads on a US layout.
    bool pressKeys(const QString& combination) override
    {
        static const QHash<QString, int> evdev{{"ctrl", KEY_LEFTCTRL},
                                               {"shift", KEY_LEFTSHIFT},
                                               {"super", KEY_LEFTMETA},
                                               {"o", KEY_O},
                                               {"t", KEY_T},
                                               {"w", KEY_W}};
        QStringList codes{QStringLiteral("keys")};
        for (const QString& name : combination.split(QLatin1Char('+'))) {
            if (!evdev.contains(name))
                return false;
            codes.append(QString::number(evdev.value(name)));
        }
        return run(QStringLiteral(TESSARY_KWIN_PROBE), codes);
    }

    QList<ShownWindow> shownWindows(qint64 pid) override
    {
        QList<ShownWindow> windows;
        for (const QJsonValue& window : jsonOutput(QStringLiteral(TESSARY_KWIN_PROBE), {"windows"}).array()) {
            const QJsonArray rect = window["rect"].toArray();
            if (window["pid"].toInteger() == pid)
                windows.append({window["title"].toString(),
                                QRect(rect[0].toInt(), rect[1].toInt(), rect[2].toInt(), rect[3].toInt())});
        }
        return windows;
    }

    QImage screenShot(const QRect& rect) override
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("shot.ppm"));
        if (!run(QStringLiteral(TESSARY_KWIN_PROBE), {"shot", file}))
            return QImage();
        const QImage shot(file);
        return rect.isNull() ? shot : shot.copy(rect);
    }

private:
    QProcess m_device;
};

// Headless GNOME Shell on Wayland: clicks, keys and screenshots through gnome-tool.js.
class GnomeRig final : public DesktopRig {
public:
    bool click(int x, int y) override { return gnomeTool({"click", QString::number(x), QString::number(y)}); }
    bool pressKeys(const QString& combination) override { return gnomeTool({"keys", combination}); }

    // GNOME tells no other program a window's process: Tessary's windows are those of its
    // application id, and the rig runs one Tessary at a time. The chip shows only on the screen.
    QList<ShownWindow> shownWindows(qint64) override
    {
        QList<ShownWindow> windows;
        for (const QJsonValue& window : jsonOutput("gjs", {TESSARY_GNOME_TOOL, "windows"}).array())
            if (window["class"].toString() == applicationId())
                windows.append({window["title"].toString(),
                                QRect(0, 0, window["width"].toInt(), window["height"].toInt())});
        return windows;
    }

    QImage screenShot(const QRect& rect) override
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("shot.png"));
        QStringList arguments{QStringLiteral("shot"), file};
        if (!rect.isNull())
            arguments << QString::number(rect.x()) << QString::number(rect.y())
                      << QString::number(rect.width()) << QString::number(rect.height());
        return gnomeTool(arguments) ? QImage(file) : QImage();
    }

    // A tab opened through the browser's own command took no clicks here: the window GNOME shows
    // stayed the old one.
    bool openInBrowser(const QString&, const QString& url) override
    {
        return pressKeys(QStringLiteral("ctrl+l")) && gnomeTool({"type", url}) &&
               pressKeys(QStringLiteral("Return"));
    }

private:
    static bool gnomeTool(const QStringList& arguments)
    {
        return run(QStringLiteral("gjs"), QStringList{QStringLiteral(TESSARY_GNOME_TOOL)} + arguments);
    }
};

} // namespace

DesktopRig& desktopRig()
{
    static const std::unique_ptr<DesktopRig> rig = []() -> std::unique_ptr<DesktopRig> {
        switch (DesktopSession::current()) {
        case DesktopSession::Kind::sway:
            return std::make_unique<SwayRig>();
        case DesktopSession::Kind::kwin:
            return std::make_unique<KwinRig>();
        case DesktopSession::Kind::gnome:
            return std::make_unique<GnomeRig>();
        default:
            return std::make_unique<X11Rig>();
        }
    }();
    return *rig;
}

} // namespace tessary::test
