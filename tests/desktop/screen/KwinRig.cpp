#include "desktop/screen/DesktopRig.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

namespace tessary::test {

namespace {

// The evdev codes of the keys pressKeys names, which KWin's fake input takes through
// the rig's US layout.
std::optional<unsigned> evdevKey(const QString& name)
{
    static const QHash<QString, unsigned> named{{"ctrl", 29},   {"shift", 42},  {"alt", 56},
                                                {"super", 125}, {"Return", 28}, {"Escape", 1}};
    static const QString rows[] = {QStringLiteral("1234567890"), QStringLiteral("qwertyuiop"),
                                   QStringLiteral("asdfghjkl"), QStringLiteral("zxcvbnm")};
    static const unsigned rowStarts[] = {2, 16, 30, 44};
    if (const auto key = named.constFind(name); key != named.cend())
        return *key;
    for (int row = 0; row < 4 && name.size() == 1; ++row)
        if (const qsizetype column = rows[row].indexOf(name.toLower()); column >= 0)
            return rowStarts[row] + unsigned(column);
    return std::nullopt;
}

// Headless KWin: fake input, windows and screenshots through tests/desktop/kwin's probe.
class KwinRig final : public DesktopRig {
public:
    ~KwinRig() override { stopChild(m_device); }

    // Headless KWin, like headless sway, gives no window the keyboard focus until a keyboard
    // exists: a fake input device is held for the test's whole life.
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

    // Presses the keys named, in order; the probe lets them go in reverse.
    bool pressKeys(const QString& combination) override
    {
        QStringList codes{QStringLiteral("keys")};
        for (const QString& name : combination.split(QLatin1Char('+'))) {
            const std::optional<unsigned> key = evdevKey(name);
            if (!key)
                return false;
            codes.append(QString::number(*key));
        }
        return run(QStringLiteral(TESSARY_KWIN_PROBE), codes);
    }

    QList<ShownWindow> shownWindows(qint64 pid) override
    {
        QList<ShownWindow> windows;
        for (const QJsonValue& window : jsonOutput(QStringLiteral(TESSARY_KWIN_PROBE), {"windows"}).array()) {
            const QJsonArray rect = window[QStringLiteral("rect")].toArray();
            if (window[QStringLiteral("pid")].toInteger() == pid)
                windows.append({QString::number(windows.size()), window[QStringLiteral("title")].toString(),
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

} // namespace

std::unique_ptr<DesktopRig> makeKwinRig()
{
    return std::make_unique<KwinRig>();
}

} // namespace tessary::test
