#include "desktop/screen/DesktopRig.h"

#include <QRegularExpression>

namespace tessary::test {

bool xdotool(const QStringList& arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
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
    bool typeText(const QString& text) override { return xdotool({"type", "--delay", "5", text}); }

    QList<ShownWindow> shownWindows(qint64 pid) override
    {
        static const QRegularExpression quoted(QStringLiteral("Window id: \\S+ \"(.*)\""));
        const auto number = [](const QString& info, const QString& label) {
            return QRegularExpression(QRegularExpression::escape(label) + QStringLiteral(":\\s*(-?\\d+)"))
                .match(info)
                .captured(1)
                .toInt();
        };
        const QString ids = QString::fromUtf8(
            output(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--pid", QString::number(pid)})
                .value_or(QByteArray()));
        QList<ShownWindow> windows;
        for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const std::optional<QByteArray> bytes = output(QStringLiteral("xwininfo"), {"-id", id});
            if (!bytes)
                continue;
            const QString info = QString::fromUtf8(*bytes);
            windows.append(
                {id, quoted.match(info).captured(1),
                 QRect(number(info, QStringLiteral("Absolute upper-left X")),
                       number(info, QStringLiteral("Absolute upper-left Y")),
                       number(info, QStringLiteral("Width")), number(info, QStringLiteral("Height")))});
        }
        return windows;
    }

    // The chip is a window of its own here, found in shownWindows.
    QImage screenShot(const QRect&) override { return QImage(); }

    bool openInBrowser(const QString&, const QString& url) override
    {
        return xdotool({"key", "--clearmodifiers", "ctrl+l"}) && typeText(url) &&
               pressKeys(QStringLiteral("Return"));
    }
};

} // namespace

std::unique_ptr<DesktopRig> makeX11Rig()
{
    return std::make_unique<X11Rig>();
}

} // namespace tessary::test
