#include "platform/freedesktop/DesktopEntries.h"
#include "platform/freedesktop/DesktopLinkOpener.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tessary {
namespace {

void writeEntry(const QString& dataDir, const QString& relativePath, const QByteArray& body)
{
    const QString path = dataDir + QStringLiteral("/applications/") + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(body);
}

class DesktopEntryNaming : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(user.isValid() && system.isValid());
        writeEntry(system.path(), QStringLiteral("firefox-esr.desktop"),
                   "[Desktop Entry]\nExec=/usr/lib/firefox-esr/firefox-esr %u\nStartupWMClass=firefox-esr\n"
                   "[Desktop Action new-window]\nExec=/usr/bin/other --new-window\n");
        writeEntry(system.path(), QStringLiteral("chromium.desktop"),
                   "[Desktop Entry]\nExec=/usr/bin/chromium %U\nStartupWMClass=chromium\n");
        writeEntry(system.path(), QStringLiteral("vendor/editor.desktop"),
                   "[Desktop Entry]\nExec=env LANG=C /opt/editor/bin/editor %F\n");
        writeEntry(system.path(), QStringLiteral("my-app.desktop"),
                   "[Desktop Entry]\nExec=\"/opt/My App/bin/app\" %U\n");
        writeEntry(system.path(), QStringLiteral("chromium_chromium.desktop"),
                   "[Desktop Entry]\nExec=env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/"
                   "chromium_chromium.desktop /snap/bin/chromium %U\n");
    }

    QTemporaryDir user;
    QTemporaryDir system;
};

TEST_F(DesktopEntryNaming, ProcessesAreNamedByTheDesktopFileThatLaunchesThemTheUsersFirstElseByTheExecutable)
{
    DesktopEntries entries({user.path(), system.path()});
    const struct {
        const char* executable;
        const char* appId;
    } named[] = {
        {"/usr/lib/firefox-esr/firefox-esr", "firefox-esr"}, // named in Exec
        {"/usr/lib/chromium/chromium", "chromium"},          // Exec runs a launcher of the binary's name
        {"/opt/editor/bin/editor", "vendor-editor"},         // `env VAR=value` first; an id from a subfolder
        {"/opt/My App/bin/app", "my-app"},                   // quoted for the space in its path
        {"/snap/chromium/2345/usr/lib/chromium-browser/chrome", "chromium_chromium"}, // the snap names it
        {"/usr/bin/other", "other"}, // only the main group counts: an action's Exec names nothing
    };
    for (const auto& row : named)
        EXPECT_EQ(entries.describeExecutable(10, QString::fromUtf8(row.executable)).appId,
                  QString::fromLatin1(row.appId));
    EXPECT_EQ(entries.describeExecutable(10, QStringLiteral("/usr/lib/firefox-esr/firefox-esr")).appPath,
              system.filePath(QStringLiteral("applications/firefox-esr.desktop")));

    // Without a desktop file the executable names itself; a process that is gone has no name.
    EXPECT_EQ(entries.describeExecutable(20, QStringLiteral("/home/me/bin/tessary-test-window")),
              (RunningApplication{20, "tessary-test-window", "/home/me/bin/tessary-test-window"}));
    const std::optional<RunningApplication> gone = entries.describe(0x7ffffff0);
    ASSERT_TRUE(gone);
    EXPECT_TRUE(gone->appId.isEmpty());
    EXPECT_TRUE(gone->appPath.isEmpty());

    // A Flatpak runs a binary of its own name in its sandbox, which names the application.
    QTemporaryDir proc;
    ASSERT_TRUE(QDir().mkpath(proc.filePath(QStringLiteral("77/root"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("/app/extra/chrome"), proc.filePath(QStringLiteral("77/exe"))));
    QFile sandbox(proc.filePath(QStringLiteral("77/root/.flatpak-info")));
    ASSERT_TRUE(sandbox.open(QIODevice::WriteOnly));
    sandbox.write("[Application]\nname=com.google.Chrome\nruntime=runtime/org.freedesktop.Platform\n");
    sandbox.close();
    writeEntry(
        system.path(), QStringLiteral("com.google.Chrome.desktop"),
        "[Desktop Entry]\nExec=/usr/bin/flatpak run --command=/app/bin/chrome com.google.Chrome @@u %U @@\n");
    EXPECT_EQ(DesktopEntries({user.path(), system.path()}, proc.path()).describe(77)->appId,
              "com.google.Chrome");

    // The user's own entry for the same executable hides the system one.
    writeEntry(user.path(), QStringLiteral("my-firefox.desktop"),
               "[Desktop Entry]\nExec=/usr/lib/firefox-esr/firefox-esr -P work %u\n");
    EXPECT_EQ(DesktopEntries({user.path(), system.path()})
                  .describeExecutable(30, QStringLiteral("/usr/lib/firefox-esr/firefox-esr"))
                  .appId,
              "my-firefox");

    // Chrome's launcher on PATH links to a script in Chrome's own folder, which starts the chrome
    // binary beside it; a launcher of one profile, with options, names no browser.
    const QString chrome = system.filePath(QStringLiteral("opt/google/chrome"));
    const QString launcher = system.filePath(QStringLiteral("google-chrome-stable"));
    ASSERT_TRUE(QDir().mkpath(chrome) && QFile(chrome + "/google-chrome").open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(chrome + "/google-chrome", launcher));
    writeEntry(user.path(), QStringLiteral("chrome-work.desktop"),
               "[Desktop Entry]\nExec=" + launcher.toUtf8() + " --profile-directory=Work %U\n");
    writeEntry(system.path(), QStringLiteral("google-chrome.desktop"),
               "[Desktop Entry]\nExec=" + launcher.toUtf8() + " %U\n");
    EXPECT_EQ(DesktopEntries({user.path(), system.path()}).describeExecutable(31, chrome + "/chrome").appId,
              "google-chrome");
}

// An application installed while Tessary runs (here the user's first: its folder is new too) is
// named once its desktop file is noticed, and the others stay named meanwhile.
TEST_F(DesktopEntryNaming, AnApplicationInstalledLaterIsNamedOnceItsFileIsNoticed)
{
    DesktopEntries entries({user.path(), system.path()});
    const QString browser = QStringLiteral("/opt/late/browser");
    EXPECT_EQ(entries.describeExecutable(40, browser).appId, "browser");
    writeEntry(user.path(), QStringLiteral("late-browser.desktop"),
               "[Desktop Entry]\nExec=/opt/late/browser %u\n");
    EXPECT_TRUE(QTest::qWaitFor([&] {
        EXPECT_EQ(entries.describeExecutable(41, QStringLiteral("/usr/bin/chromium")).appId, "chromium");
        return entries.describeExecutable(40, browser).appId == "late-browser";
    }));
}

TEST(DesktopLinkOpener, ExecLinesBecomeTheCommandForOneLink)
{
    const QUrl url("https://app.example.com/magic?token=a%20b&x=1");
    const QString link = url.toString(QUrl::FullyEncoded);
    // Exec values as they stand in the file, string escapes and all.
    const struct {
        const char* exec;
        QStringList command;
    } cases[] = {
        {"/usr/lib/firefox-esr/firefox-esr %u", {"/usr/lib/firefox-esr/firefox-esr", link}},
        {"chromium %U", {"chromium", link}},
        {"browser --new-window", {"browser", "--new-window", link}},
        {"\"/opt/My Browser/run\" %F -name %c %i %u", {"/opt/My Browser/run", "-name", link}},
        {"browser --label 100%%", {"browser", "--label", "100%", link}},
        {"chromium --enable-features=A,B %U", {"chromium", "--enable-features=A,B", link}},
        {R"("/opt/say \\"hi\\"/run" %u)", {"/opt/say \"hi\"/run", link}},
        {R"(sh -c 'exec browser "$1"' sh %u)", {"sh", "-c", "exec browser \"$1\"", "sh", link}},
        {"", {}},
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString desktopFile = folder.filePath(QStringLiteral("applications/browser.desktop"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exec);
        writeEntry(folder.path(), QStringLiteral("browser.desktop"),
                   QByteArray("[Desktop Entry]\nName=Browser\nExec=") + c.exec + '\n');
        EXPECT_EQ(DesktopLinkOpener::command(desktopFile, url), c.command);
    }
}

} // namespace
} // namespace tessary
