#include "platform/sway/SwayIpc.h"

#include <QFile>
#include <QJsonDocument>

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
        EXPECT_EQ(focused->content.x, row.content->x);
        EXPECT_EQ(focused->content.y, row.content->y);
        EXPECT_EQ(focused->content.width, row.content->width);
        EXPECT_EQ(focused->content.height, row.content->height);
    }
}

} // namespace
} // namespace tessary
