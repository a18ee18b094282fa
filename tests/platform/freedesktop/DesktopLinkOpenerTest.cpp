#include "platform/freedesktop/DesktopLinkOpener.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

TEST(DesktopLinkOpener, ExecLinesBecomeTheCommandForOneLink)
{
    const QUrl url("https://app.example.com/magic?token=a%20b&x=1");
    const QString link = url.toString(QUrl::FullyEncoded);
    const struct {
        const char* exec;
        QStringList command;
    } cases[] = {
        {"/usr/lib/firefox-esr/firefox-esr %u", {"/usr/lib/firefox-esr/firefox-esr", link}},
        {"chromium %U", {"chromium", link}},
        {"browser --new-window", {"browser", "--new-window", link}},
        {"\"/opt/My Browser/run\" %F -name %c %i %u", {"/opt/My Browser/run", "-name", link}},
        {"browser --label 100%%", {"browser", "--label", "100%", link}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exec);
        EXPECT_EQ(DesktopLinkOpener::execCommand(c.exec, url), c.command);
    }
}

} // namespace
} // namespace tessary
