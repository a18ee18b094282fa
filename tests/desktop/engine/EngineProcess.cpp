#include "desktop/engine/EngineProcess.h"

#include "desktop/screen/DesktopDriver.h"

#include <QJsonDocument>
#include <QProcessEnvironment>

#include <algorithm>

namespace tessary::test {

EngineProcess::EngineProcess(const QString& backendUrl)
{
    if (onWaylandRig())
        m_screenBefore = screenShot();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Settings of its own: nothing one run remembers (recent codes, the shortcut) reaches the next.
    environment.insert("XDG_CONFIG_HOME", m_config.path());
    m_process.setProcessEnvironment(environment);
    m_process.start(QStringLiteral(TESSARY_INSPECT), {"engine", "--backend", backendUrl});
    m_process.waitForStarted(10000);
}

EngineProcess::~EngineProcess()
{
    stopChild(m_process);
}

std::optional<QJsonObject> EngineProcess::waitFor(const std::function<bool(const QJsonObject&)>& matches,
                                                  std::chrono::milliseconds timeout)
{
    std::optional<QJsonObject> found;
    waitUntil(
        [&] {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                m_lines.append(QString::fromUtf8(line));
                const QJsonObject object = QJsonDocument::fromJson(line).object();
                if (matches(object)) {
                    found = object;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::optional<QJsonObject> EngineProcess::waitForChip(const QString& state, std::chrono::milliseconds timeout)
{
    return waitFor([&](const QJsonObject& line) { return line.value("chip") == state; }, timeout);
}

std::string EngineProcess::printed()
{
    return (m_lines.join(QLatin1Char('\n')) + "\nstderr:\n" +
            QString::fromUtf8(m_process.readAllStandardError()))
        .toStdString();
}

namespace {

// GNOME's top bar (its clock, the remote-desktop indicator of the test's clicks) and the
// notification banners under it change on their own; the test pages' chips stand lower.
QImage withoutShellBanners(QImage shot)
{
    if (onGnome() && !shot.isNull()) {
        shot = shot.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < std::min(shot.height(), 120); ++y)
            std::fill_n(reinterpret_cast<QRgb*>(shot.scanLine(y)), shot.width(), qRgb(0, 0, 0));
    }
    return shot;
}

} // namespace

std::optional<QRect> EngineProcess::chipWindow() const
{
    // The chip is some 30 pixels high; a browser's toolbar icon that changed as a load ended is
    // smaller.
    if (onWaylandRig())
        return changedArea(withoutShellBanners(m_screenBefore), withoutShellBanners(screenShot()), 20);
    const QList<ShownWindow> windows = shownWindows(pid());
    if (windows.isEmpty())
        return std::nullopt;
    return windows.first().rect;
}

} // namespace tessary::test
