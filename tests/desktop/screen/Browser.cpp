#include "desktop/screen/DesktopRig.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace tessary::test {

namespace {

// Chromium refuses to start as root without --no-sandbox, which the system's desktop file does not
// pass: the private home gets its own entry for it, which hides the system's, so that the browser's
// own command still works when the engine runs it.
void allowChromiumAsRoot()
{
    QFile system(QStringLiteral("/usr/share/applications/chromium.desktop"));
    if (!system.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/applications");
    QDir().mkpath(folder);
    QFile own(folder + QStringLiteral("/chromium.desktop"));
    if (own.open(QIODevice::WriteOnly | QIODevice::Text))
        own.write(
            system.readAll().replace("Exec=/usr/bin/chromium ", "Exec=/usr/bin/chromium --no-sandbox "));
}

} // namespace

Browser::Kind Browser::fromEnvironment()
{
    return qgetenv("TESSARY_TEST_BROWSER") == "chromium" ? Kind::chromium : Kind::firefox;
}

Browser::Browser(Kind kind, const QString& url)
    : m_kind(kind)
{
    // The profile is named in the environment rather than on the command line, so that every
    // later plain `firefox-esr URL` or `chromium URL` of this test, and of the processes it starts,
    // reaches this browser as a user's reaches theirs: a link opened through the browser's own
    // command becomes a tab here instead of a second browser.
    qputenv(m_kind == Kind::firefox ? "XRE_PROFILE_PATH" : "CHROME_CONFIG_HOME", m_profile.path().toUtf8());
    if (m_kind == Kind::chromium && geteuid() == 0)
        allowChromiumAsRoot();
    if (onWaylandRig())
        qputenv("MOZ_ENABLE_WAYLAND", "1");
    desktopRig().holdDevices();
    const QStringList chromiumFlags{"--no-sandbox", "--disable-gpu", "--no-first-run",
                                    "--disable-background-networking", "--disable-component-update",
                                    "--disable-sync",
                                    // The Secret Service would put up a keyring prompt over the page.
                                    "--password-store=basic"};
    m_process.start(desktopId(),
                    (m_kind == Kind::chromium ? chromiumFlags : QStringList()) + QStringList{url});
    m_process.waitForStarted(10000);
}

Browser::~Browser()
{
    stopChild(m_process);
    // Chromium's helper processes may still write into the profile for a moment after the main
    // process is gone.
    for (int attempt = 0; attempt < 25 && !m_profile.remove(); ++attempt)
        QThread::msleep(200);
}

QString Browser::desktopId() const
{
    return m_kind == Kind::chromium ? QStringLiteral("chromium") : QStringLiteral("firefox-esr");
}

bool Browser::open(const QString& url)
{
    return desktopRig().openInBrowser(desktopId(), url);
}

} // namespace tessary::test
