#include "common/AppIdentity.h"
#include "desktop/screen/DesktopRig.h"

#include <QJsonArray>
#include <QTemporaryDir>

namespace tessary::test {

namespace {

// Headless GNOME Shell on Wayland (scripts/gnome-session): clicks, keys and screenshots through
// tests/desktop/gnome/gnome-tool.js, whose remote-desktop session stands in for the devices the shell
// lacks.
class GnomeRig final : public DesktopRig {
public:
    bool click(int x, int y) override { return gnomeTool({"click", QString::number(x), QString::number(y)}); }
    bool pressKeys(const QString& combination) override { return gnomeTool({"keys", combination}); }

    // GNOME tells no other program a window's process: Tessary's windows are those of its
    // application id, and the rig runs one Tessary at a time. The chip shows only on the screen.
    QList<ShownWindow> shownWindows(qint64) override
    {
        QList<ShownWindow> windows;
        const QJsonArray all =
            jsonOutput(QStringLiteral("gjs"), {QStringLiteral(TESSARY_GNOME_TOOL), "windows"}).array();
        for (const QJsonValue& window : all)
            if (window[QStringLiteral("class")].toString() == applicationId())
                windows.append({QString::number(windows.size()), window[QStringLiteral("title")].toString(),
                                QRect(0, 0, window[QStringLiteral("width")].toInt(),
                                      window[QStringLiteral("height")].toInt())});
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

std::unique_ptr<DesktopRig> makeGnomeRig()
{
    return std::make_unique<GnomeRig>();
}

} // namespace tessary::test
