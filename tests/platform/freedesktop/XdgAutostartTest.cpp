#include "platform/freedesktop/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tessary;

namespace {

class AutostartEntry : public ::testing::Test {
protected:
    QString directory() const { return root.filePath(QStringLiteral("config/autostart")); }
    XdgAutostart loginItem() const
    {
        return XdgAutostart(QStringLiteral("com.tessary.mac"), {QStringLiteral("/opt/Tessary App/tessary")},
                            directory());
    }
    void writeEntry(const QByteArray& contents) const
    {
        QDir().mkpath(directory());
        QFile file(directory() + QStringLiteral("/com.tessary.mac.desktop"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    QTemporaryDir root;
};

} // namespace

TEST_F(AutostartEntry, OnWritesTheEntryAndOffRemovesIt)
{
    XdgAutostart item = loginItem();
    EXPECT_FALSE(item.isEnabled());

    // The app's switch answers later, through the event loop, and only while its asker lives;
    // switches land in the order they were made.
    auto gone = std::make_unique<QObject>();
    bool answeredTheGone = false;
    item.setEnabled(true, gone.get(), [&](const Expected<Done, QString>&) { answeredTheGone = true; });
    gone.reset();
    QObject asker;
    std::optional<bool> answer;
    item.setEnabled(true, &asker, [&](const Expected<Done, QString>& result) { answer = bool(result); });
    EXPECT_FALSE(answer);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10'000));
    EXPECT_EQ(answer, true);
    EXPECT_FALSE(answeredTheGone);
    EXPECT_TRUE(item.isEnabled());
    EXPECT_EQ(item.filePath(), directory() + QStringLiteral("/com.tessary.mac.desktop"));
    QFile written(item.filePath());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray contents = written.readAll();
    EXPECT_TRUE(contents.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(contents.contains("\nExec=\"/opt/Tessary App/tessary\"\n"));
    EXPECT_TRUE(contents.contains("\nType=Application\n"));

    ASSERT_TRUE(item.setEnabledNow(false));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_FALSE(QFile::exists(item.filePath()));
    EXPECT_TRUE(item.setEnabledNow(false)); // already off
}

TEST_F(AutostartEntry, HiddenEntryCountsAsOff)
{
    writeEntry("[Desktop Entry]\nType=Application\nExec=tessary\nHidden=true\n");
    EXPECT_FALSE(loginItem().isEnabled());
    writeEntry("[Desktop Entry]\nType=Application\nExec=tessary\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(loginItem().isEnabled());
    // Only the main group's key counts.
    writeEntry("[Desktop Entry]\nType=Application\nExec=tessary\n[Desktop Action x]\nHidden=true\n");
    EXPECT_TRUE(loginItem().isEnabled());
    // Switching on again replaces a hidden entry.
    writeEntry("[Desktop Entry]\nHidden=true\n");
    ASSERT_TRUE(loginItem().setEnabledNow(true));
    EXPECT_TRUE(loginItem().isEnabled());
}

TEST_F(AutostartEntry, WriteFailureIsReported)
{
    // A file where the folder should be: nothing can be created under it.
    QDir().mkpath(root.filePath(QStringLiteral("config")));
    QFile blocker(directory());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const Expected<Done, QString> result = loginItem().setEnabledNow(true);
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().contains(directory())) << result.error();
    EXPECT_FALSE(loginItem().isEnabled());
}

TEST(ExecQuoting, PlainArgumentsStayPlainOthersAreQuotedAndEscaped)
{
    EXPECT_EQ(quoteExecArgument(QStringLiteral("/usr/bin/tessary")), QStringLiteral("/usr/bin/tessary"));
    EXPECT_EQ(quoteExecArgument(QStringLiteral("/home/a b/tessary")),
              QStringLiteral("\"/home/a b/tessary\""));
    EXPECT_EQ(quoteExecArgument(QStringLiteral("100%")), QStringLiteral("100%%"));
    EXPECT_EQ(quoteExecArgument(QStringLiteral("say \"$HOME\"")), QStringLiteral("\"say \\\"\\$HOME\\\"\""));
    // A literal backslash takes four in the file: one quoting escape, then the string escape.
    EXPECT_EQ(quoteExecArgument(QStringLiteral("a\\b")), QStringLiteral("\"a\\\\\\\\b\""));
    EXPECT_EQ(quoteExecArgument(QString()), QStringLiteral("\"\""));
}
