#include "desktop/screen/DesktopRig.h"

#include <QRegularExpression>

namespace tessary::test {

bool xdotool(const QStringList& arguments)
{
    return run("xdotool", arguments);
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
                {id, quoted.match(info).captured(1),
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

} // namespace

std::unique_ptr<DesktopRig> makeX11Rig()
{
    return std::make_unique<X11Rig>();
}

} // namespace tessary::test
