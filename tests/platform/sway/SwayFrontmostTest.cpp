#include "platform/sway/SwayFrontmost.h"

#include <QFile>
#include <QJsonDocument>

#include <tuple>

#include <gtest/gtest.h>

namespace tessary {
namespace {

using Extents = Frontmost::Extents;

QJsonDocument recorded(const char* name)
{
    QFile file(QStringLiteral(TESSARY_SWAY_TREES "/%1.json").arg(QLatin1String(name)));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return QJsonDocument::fromJson(file.readAll());
}

// Recorded under sway with one Firefox process showing two windows: "Second" tiled over the whole
// 1280x1024 output and focused, "Code" floating at 300,200. Firefox draws a 26,23 shadow around a
// floating window inside its surface, where AT-SPI's window positions start.
TEST(SwayFrontmost, ElementsArePlacedOnTheScreenOfTheirOwnWindow)
{
    constexpr qint64 firefox = 19731;
    const Extents field{467, 308, 244, 42}; // inside the surface
    struct Row {
        const char* what;
        qint64 pid;
        const char* title;
        Extents windowFrame; // the window's accessible inside the surface
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
    const QList<swayipc::Toplevel> windows = swayipc::toplevels(recorded("two-windows").object());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto window = swayipc::windowOf(windows, row.pid, QString::fromUtf8(row.title));
        ASSERT_EQ(window.has_value(), row.onScreen.has_value());
        if (!window)
            continue;
        const Extents placed = placeOnScreen(window->content, field, row.windowFrame);
        EXPECT_EQ(std::tuple(placed.x, placed.y, placed.width, placed.height),
                  std::tuple(row.onScreen->first, row.onScreen->second, field.width, field.height));
    }
}

} // namespace
} // namespace tessary
