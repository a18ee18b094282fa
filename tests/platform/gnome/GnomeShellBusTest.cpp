#include "hotkey/Shortcut.h"
#include "platform/gnome/GnomeHotKey.h"
#include "platform/gnome/GnomeKeyboard.h"
#include "platform/gnome/GnomePanelIcon.h"
#include "platform/gnome/GnomePictureSurface.h"
#include "platform/gnome/GnomeShell.h"
#include "support/RunTask.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

namespace tessary {
namespace {

using QTest::qWaitFor;

// Tessary's shell extension on a private session bus (dbus-run-session): it answers GetFocus with
// a window of process `focusPid` (and `monitors` when there are any, else as an extension from
// before it told them), refuses the methods in `refused`, answers false to those in `declined` and
// counts every call by name.
// Owning and giving up its name is the shell turning the extension on and off, as it does around a
// locked screen.
class FakeExtension : public QDBusVirtualObject {
public:
    QHash<QString, int> calls;
    qulonglong focusPid = 0;
    QSet<QString> refused;
    QSet<QString> declined;
    QList<std::pair<QRect, double>> monitors; // each with the scale a picture is drawn at there

    FakeExtension()
    {
        qDBusRegisterMetaType<std::pair<QRect, double>>();
        m_bus.registerVirtualObject("/com/tessary/Shell", this);
    }
    ~FakeExtension() override { m_bus.unregisterObject("/com/tessary/Shell"); }
    bool own(bool owned)
    {
        return owned ? m_bus.registerService("com.tessary.Shell")
                     : m_bus.unregisterService("com.tessary.Shell");
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override
    {
        ++calls[message.member()];
        if (refused.contains(message.member()))
            return bus.send(message.createErrorReply("com.tessary.Shell.Error.AccessDenied", "no"));
        if (message.member() != "GetFocus")
            return bus.send(message.createReply(QVariant(!declined.contains(message.member()))));
        QDBusArgument window;
        window.beginStructure();
        window << focusPid;
        for (int rectangle = 0; rectangle < 2; ++rectangle) {
            window.beginStructure();
            window << 0 << 0 << 0 << 0;
            window.endStructure();
        }
        window << QString() << QString();
        if (!monitors.isEmpty())
            window << 1.0 << monitors;
        window.endStructure();
        return bus.send(message.createReply(QVariant::fromValue(window)));
    }

private:
    QDBusConnection m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-extension");
};

TEST(GnomeExtensionReturning, TheIconTheShortcutAndThePictureAreAskedForAgain)
{
    qputenv("GSETTINGS_BACKEND", "memory"); // the shell's own bindings, read unchanged
    FakeExtension extension;
    ASSERT_TRUE(extension.own(true));
    const auto shell = std::make_shared<GnomeShell>();
    ASSERT_TRUE(test::runTask(shell->ready()));
    GnomePanelIcon icon(shell);
    QPixmap drawing(16, 16);
    drawing.fill(Qt::white);
    icon.show(QIcon(drawing), {});
    GnomeHotKey hotKey(shell);
    ASSERT_TRUE(hotKey.registerShortcut(Shortcut::defaultShortcutFor(false)));
    GnomePictureSurface picture(shell);
    ASSERT_TRUE(picture.show(QImage(8, 8, QImage::Format_ARGB32_Premultiplied), {10, 10}));
    ASSERT_TRUE(qWaitFor([&] { return extension.calls.value("GrabShortcut") == 1; }));

    EXPECT_FALSE(shell->pictureScale({10, 10})) << "an extension that does not say";

    ASSERT_TRUE(extension.own(false));
    EXPECT_TRUE(qWaitFor([&] { return shell->missing(); })) << "still taken for there";
    // What the shell says it had reported to nobody yet, the monitors of an updated extension with it.
    extension.focusPid = 4242;
    extension.monitors = {{QRect(0, 0, 2560, 1600), 2}, {QRect(2560, 0, 1280, 800), 1}};
    ASSERT_TRUE(extension.own(true));
    EXPECT_TRUE(qWaitFor([&] {
        return extension.calls.value("ShowPanelIcon") == 2 && extension.calls.value("GrabShortcut") == 2;
    })) << "icon shown "
        << extension.calls.value("ShowPanelIcon") << " times, shortcut grabbed "
        << extension.calls.value("GrabShortcut") << " times";
    EXPECT_TRUE(qWaitFor([&] { return shell->focus().pid == 4242; })) << "the window in front stays unknown";
    EXPECT_EQ(shell->pictureScale({10, 10}), 2);
    EXPECT_EQ(shell->pictureScale({2600, 10}), 1);
    EXPECT_TRUE(shell->available());
    EXPECT_FALSE(picture.isShown()) << "the picture went with the extension";
}

// The shell answers a grab after the call: only the newest registration's answer is given, and a
// refusal reads as a combination held by another app.
TEST(GnomeHotKeyGrab, OnlyTheNewestGrabIsAnsweredAndARefusalSaysWhy)
{
    qputenv("GSETTINGS_BACKEND", "memory");
    FakeExtension extension;
    ASSERT_TRUE(extension.own(true));
    extension.declined.insert("GrabShortcut");
    const auto shell = std::make_shared<GnomeShell>();
    ASSERT_TRUE(test::runTask(shell->ready()));
    GnomeHotKey hotKey(shell);
    QList<std::optional<QString>> answers;
    hotKey.setAnswerHandler([&](const std::optional<QString>& refusal) { answers.append(refusal); });
    const Shortcut replaced = Shortcut::defaultShortcutFor(true);
    const Shortcut newest = Shortcut::defaultShortcutFor(false);
    ASSERT_TRUE(hotKey.registerShortcut(replaced));
    ASSERT_TRUE(hotKey.registerShortcut(newest));
    // The answers come in the order asked, so the replaced one's is in when the newest one's is.
    ASSERT_TRUE(qWaitFor([&] { return !answers.isEmpty(); }));
    EXPECT_EQ(answers, QList<std::optional<QString>>{shortcutConflictMessage(newest)});
}

TEST(GnomeKeyboard, KeysTheShellRefusesAreUntypedAndALayoutItKeepsToItselfIsLogged)
{
    static QStringList warnings;
    const QtMessageHandler before =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& text) {
            warnings.append(QLatin1String(context.category) + ": " + text);
        });
    FakeExtension extension;
    extension.refused = {"PressKey", "GetKeymap"};
    ASSERT_TRUE(extension.own(true));
    const auto shell = std::make_shared<GnomeShell>();
    ASSERT_TRUE(test::runTask(shell->ready()));
    GnomeKeyboard keyboard(shell);
    test::runTask(keyboard.postKey("4", true));
    test::runTask(keyboard.postKey("4", false));
    test::runTask(keyboard.endTyping());
    qInstallMessageHandler(before);
    EXPECT_EQ(keyboard.takeUntyped(), "4");
    ASSERT_EQ(warnings.size(), 1) << warnings.join("\n").toStdString();
    EXPECT_TRUE(warnings[0].startsWith("tessary.gnome: ")) << warnings[0].toStdString();
}

} // namespace
} // namespace tessary
