#include "platform/sway/SwayBindings.h"
#include "platform/sway/SwayFrontmost.h"
#include "platform/sway/SwayIpc.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

#include <gtest/gtest.h>

namespace tessary {
namespace {

using swayipc::takeMessage;

QJsonObject recordedTree(const char* name)
{
    QFile file(QStringLiteral(TESSARY_SWAY_TREES "/%1.json").arg(QLatin1String(name)));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return QJsonDocument::fromJson(file.readAll()).object();
}

TEST(SwayIpc, RepliesAreTakenWholeFromWhateverTheSocketHasDelivered)
{
    const QByteArray tree = R"({"focused":true})";
    const QByteArray two = swayipc::frame(swayipc::getTree, tree) + swayipc::frame(7, "[]");
    // The header is 14 bytes; a read may stop anywhere, including inside it.
    for (qsizetype cut : {qsizetype(0), qsizetype(3), qsizetype(13), qsizetype(14), qsizetype(20)}) {
        SCOPED_TRACE(cut);
        QByteArray buffer = two.left(cut);
        auto partial = takeMessage(buffer);
        ASSERT_TRUE(partial);
        EXPECT_FALSE(*partial);
        EXPECT_EQ(buffer.size(), cut) << "nothing is consumed before the message is whole";
    }
    QByteArray buffer = two;
    auto first = takeMessage(buffer);
    ASSERT_TRUE(first && *first);
    EXPECT_EQ((*first)->type, swayipc::getTree);
    EXPECT_EQ((*first)->payload, tree);
    auto second = takeMessage(buffer);
    ASSERT_TRUE(second && *second);
    EXPECT_EQ((*second)->type, 7u);
    EXPECT_EQ((*second)->payload, "[]");
    EXPECT_TRUE(buffer.isEmpty());

    for (QByteArray garbage : {QByteArray("HTTP/1.1 200 OK\r\n"), QByteArray("i3-"), QByteArray("i4")}) {
        SCOPED_TRACE(garbage.constData());
        EXPECT_EQ(bool(takeMessage(garbage)), garbage == "i3-") << "a prefix of the magic is only incomplete";
    }
    QByteArray huge = swayipc::frame(swayipc::getTree, "{}");
    huge[6] = huge[7] = huge[8] = huge[9] = char(0x7f);
    EXPECT_FALSE(takeMessage(huge)) << "a length no reply has is refused, not waited for";
}

TEST(SwayIpc, TheFocusedWindowComesFromRecordedTrees)
{
    struct Row {
        const char* tree;
        std::optional<swayipc::Extents> content; // none: nothing focused holds a window
    };
    // Recorded with Firefox under sway, the window given a 3-pixel border and a title bar: the
    // content starts inside the border and below the title, not at the window's outer corner.
    const Row rows[] = {
        {"tiled", swayipc::Extents{3, 25, 1274, 996}},
        {"floating", swayipc::Extents{103, 75, 794, 572}},
        {"empty", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tree);
        const std::optional<swayipc::Toplevel> focused = swayipc::focusedToplevel(recordedTree(row.tree));
        ASSERT_EQ(focused.has_value(), row.content.has_value());
        if (!focused)
            continue;
        EXPECT_EQ(focused->pid, 30995);
        EXPECT_EQ(focused->appId, QStringLiteral("firefox-esr"));
        const swayipc::Extents& content = focused->content;
        EXPECT_EQ(std::tuple(content.x, content.y, content.width, content.height),
                  std::tuple(row.content->x, row.content->y, row.content->width, row.content->height));
    }
}

// Recorded under sway with one Firefox process showing two windows: "Second" tiled over the whole
// 1280x1024 output and focused, "Code" floating at 300,200. Firefox draws a 26,23 shadow around a
// floating window inside its surface, where AT-SPI's window positions start.
TEST(SwayFrontmost, ElementsArePlacedOnTheScreenOfTheirOwnWindow)
{
    constexpr qint64 firefox = 19731;
    const Frontmost::Extents field{467, 308, 244, 42}; // inside the surface
    struct Row {
        const char* what;
        qint64 pid;
        const char* title;
        Frontmost::Extents windowFrame; // the window's accessible inside the surface
        std::optional<std::pair<int, int>> onScreen;
    };
    const Row rows[] = {
        {"floating window with a shadow",
         firefox,
         "Code — Mozilla Firefox",
         {26, 23, 700, 500},
         {{741, 485}}},
        {"tiled window, no shadow", firefox, "Second — Mozilla Firefox", {0, 0, 1280, 1024}, {{467, 308}}},
        {"title sway does not know: the focused window", firefox, "Gone", {0, 0, 1280, 1024}, {{467, 308}}},
        {"a process without a window", 4242, "Code — Mozilla Firefox", {}, std::nullopt},
    };
    const QList<swayipc::Toplevel> windows = swayipc::toplevels(recordedTree("two-windows"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto window = swayipc::windowOf(windows, row.pid, QString::fromUtf8(row.title));
        ASSERT_EQ(window.has_value(), row.onScreen.has_value());
        if (!window)
            continue;
        const Frontmost::Extents placed = placeOnScreen(window->content, field, row.windowFrame);
        EXPECT_EQ(std::tuple(placed.x, placed.y, placed.width, placed.height),
                  std::tuple(row.onScreen->first, row.onScreen->second, field.width, field.height));
    }
}

// A sway that answers get_tree with whichever tree the test has put up, and takes subscriptions.
struct FakeSway {
    QTemporaryDir dir;
    QLocalServer server;
    QByteArray tree;
    int treesAsked = 0;
    QLocalSocket* subscriber = nullptr;

    FakeSway()
    {
        QObject::connect(&server, &QLocalServer::newConnection, &server, [this] {
            QLocalSocket* socket = server.nextPendingConnection();
            QObject::connect(socket, &QLocalSocket::readyRead, socket,
                             [this, socket, buffer = QByteArray()]() mutable {
                                 buffer += socket->readAll();
                                 for (auto message = takeMessage(buffer); message && *message;
                                      message = takeMessage(buffer)) {
                                     const bool subscribe = (*message)->type != swayipc::getTree;
                                     treesAsked += subscribe ? 0 : 1;
                                     socket->write(swayipc::frame((*message)->type,
                                                                  subscribe ? R"({"success":true})" : tree));
                                     subscriber = subscribe ? socket : subscriber;
                                 }
                             });
        });
        server.listen(dir.filePath(QStringLiteral("sway.sock")));
    }
};

TEST(SwayFrontmost, TheTickReadsTheTreeSwaySentLastAndSwayIsAskedAgainAfterAnEvent)
{
    FakeSway sway;
    sway.tree = QJsonDocument(recordedTree("tiled")).toJson(QJsonDocument::Compact);
    SwayFrontmost frontmost(SwayIpc(sway.server.fullServerName()));
    EXPECT_FALSE(frontmost.known()) << "nothing is read before sway answers";
    EXPECT_EQ(frontmost.pid(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frontmost.known() && sway.subscriber; }));
    EXPECT_EQ(frontmost.pid(), 30995);

    sway.tree = QJsonDocument(recordedTree("empty")).toJson(QJsonDocument::Compact);
    const int asked = sway.treesAsked;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(frontmost.pid(), 30995) << "without an event the kept tree stands";
    EXPECT_EQ(sway.treesAsked, asked);

    sway.subscriber->write(swayipc::frame(SwayEvents::eventBit | 3, R"({"change":"focus"})"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return frontmost.pid() == 0; }))
        << "the focus moved to an empty workspace";
    EXPECT_EQ(sway.treesAsked, asked + 1);
}

namespace mod = swaybind::mod;

TEST(SwayBindings, ShortcutsAreNamedAsSwayReadsThem)
{
    struct Row {
        qint64 keyCode;
        qint64 modifiers;
        const char* text; // nullptr: no keysym for the key
        quint32 swayModifiers;
    };
    const Row rows[] = {
        {14, modifier::control | modifier::shift, "Ctrl+Shift+e", mod::ctrl | mod::shift},
        {31, modifier::shift | modifier::command, "Shift+Mod4+o", mod::shift | mod::mod4},
        {31, modifier::option | modifier::control, "Ctrl+Alt+o", mod::ctrl | mod::alt},
        {96, modifier::command, "Mod4+F5", mod::mod4},
        {43, modifier::control | modifier::option, "Ctrl+Alt+comma", mod::ctrl | mod::alt},
        {49, modifier::control, "Ctrl+space", mod::ctrl},
        {65, modifier::control, "Ctrl+KP_Decimal", mod::ctrl},
        {117, modifier::shift, "Shift+Delete", mod::shift},
        {18, modifier::control, "Ctrl+1", mod::ctrl},
        {10, modifier::control, nullptr, 0}, // the ISO section key has no row
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keyCode);
        const std::optional<QString> text = swaybind::comboText(Shortcut{row.keyCode, row.modifiers, {}});
        ASSERT_EQ(text.has_value(), row.text != nullptr);
        if (!text)
            continue;
        EXPECT_EQ(*text, QString::fromLatin1(row.text));
        // The name must be one xkb knows, or sway would refuse the binding.
        const std::optional<swaybind::Combo> parsed = swaybind::parseCombo(*text);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->modifiers, row.swayModifiers);
    }
}

TEST(SwayBindings, TheConfigsDefaultModeBindingsAreClashes)
{
    struct Row {
        const char* config;
        const char* combo;
        bool bound;
        const char* included = nullptr; // the text of every file an include line names
    };
    const Row rows[] = {
        {"bindsym Ctrl+Shift+e exec x", "Ctrl+Shift+e", true},
        {"bindsym Shift+Control+E exec x", "Ctrl+Shift+e", true}, // aliases, order, case
        {"bindsym Ctrl+Shift+e exec x", "Ctrl+e", false},
        {"set $mod Mod4\nbindsym $mod+Shift+o exec x", "Shift+Mod4+o", true},
        {"set $mod Mod4\nset $modkey Mod1\nbindsym $modkey+o exec x", "Alt+o", true},
        {"bindsym --to-code --no-repeat Ctrl+e exec x", "Ctrl+e", true},
        {"mode \"resize\" {\n  bindsym Ctrl+e resize grow\n}", "Ctrl+e", false},
        {"mode \"resize\" {\n  bindsym Ctrl+r x\n}\nbindsym Ctrl+e x", "Ctrl+e", true},
        {"mode \"default\" {\n  bindsym Ctrl+e x\n}", "Ctrl+e", true},
        {"bindsym {\n  Ctrl+e exec x\n  Ctrl+f exec y\n}", "Ctrl+f", true},
        {"mode resize {\n bindsym {\n  Ctrl+f exec y\n }\n}", "Ctrl+f", false},
        {"input * {\n  xkb_layout us\n}\nbar {\n bindsym Ctrl+e x\n}", "Ctrl+e", false},
        {"input * {\n  xkb_layout us\n}\nbindsym Ctrl+e x", "Ctrl+e", true},
        {"# bindsym Ctrl+e exec x", "Ctrl+e", false},
        {"bindsym \\\n   Ctrl+e exec x", "Ctrl+e", true},
        // A key code stands for the letter the first layout of the first keyboard set up gives it.
        {"bindcode --release Ctrl+26 exec x", "Ctrl+e", true},
        {"input 2:7:Pad tap enabled\ninput * {\n xkb_layout \"fr,us\"\n}\nbindcode Ctrl+24 x", "Ctrl+a",
         true},
        {"input type:keyboard xkb_layout fr\nbindcode {\n  Ctrl+24 x\n}", "Ctrl+q", false},
        {"bindsym Ctrl+e+f exec x", "Ctrl+e", false},
        {"set $mod Mod4\ninclude ~/.config/sway/config.d/*", "Mod4+e", true, "bindsym $mod+e exec x"},
        {"include keys\nbindsym Ctrl+f x", "Ctrl+e", true, "include keys\nbindsym Ctrl+e x"}, // read once
        {"mode resize {\n include keys\n}", "Ctrl+e", false, "bindsym Ctrl+e x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.config);
        const std::optional<swaybind::Combo> combo = swaybind::parseCombo(QString::fromLatin1(row.combo));
        ASSERT_TRUE(combo);
        const auto include = [&row](const QString&, const QString&) {
            return row.included ? QList<swaybind::IncludedFile>{{"/home/u/.config/sway/keys", row.included}}
                                : QList<swaybind::IncludedFile>{};
        };
        EXPECT_EQ(swaybind::configBindings(QString::fromLatin1(row.config), include).contains(*combo),
                  row.bound);
    }
}

} // namespace
} // namespace tessary
