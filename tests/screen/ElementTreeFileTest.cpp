#include "screen/ElementTreeDump.h"
#include "screen/TreeBuilder.h"

#include <QFile>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace tessary {
namespace {

using test::FakeAccessibility;

std::unique_ptr<FakeAccessibility> loadText(const char* json)
{
    return test::tree::load(QJsonDocument::fromJson(json).object());
}

TEST(ElementTreeFile, ProcessesTheFrontmostApplicationAndEveryRead)
{
    auto fake = loadText(R"({"app": {"pid": 7, "bundleId": "firefox-esr", "appPath": "/usr/bin/firefox"},
        "root": {"id": "desktop", "pid": 1, "children": [
            {"id": "app", "pid": 7, "children": [{"id": "window", "window": true, "focused": true}]},
            {"id": "other", "pid": 9}]}})");
    ASSERT_TRUE(fake);
    EXPECT_EQ(fake->frontmostApplication(), (RunningApplication{7, "firefox-esr", "/usr/bin/firefox"}));
    EXPECT_EQ(fake->processId(*fake->element("window")), 7);
    EXPECT_EQ(fake->applicationElement(7), fake->element("app"));
    EXPECT_EQ(fake->applicationElement(9), fake->element("other"));
    EXPECT_EQ(fake->applicationElement(5), std::nullopt);
    EXPECT_EQ(fake->focusedWindow(*fake->element("app")), fake->element("window"));
    EXPECT_EQ(fake->focusedElement(), fake->element("window"));
    fake->application.reset(); // the focus follows the frontmost application
    EXPECT_EQ(fake->focusedElement(), std::nullopt);

    // Every read is counted.
    fake = loadText(R"({"root": {"attributes": {"AXRole": "AXGroup"}, "frame": [0, 0, 1, 1]}})");
    const Element root = fake->root();
    fake->role(root);
    fake->name(root);
    fake->domClasses(root);
    fake->parent(root);
    fake->children(root);
    fake->screenFrame(root);
    EXPECT_EQ(fake->reads(), 6);
    EXPECT_EQ(fake->readsOf("AXRole"), 1);
    EXPECT_EQ(fake->readsOf("frame"), 1);
    fake->resetReads();
    EXPECT_EQ(fake->reads(), 0);
}

// A dump of a tree (trees/dump.json) writes back every attribute it was read from, under the same
// names, with the element ids the dump gives.
TEST(ElementTreeFile, ADumpWritesTheNamesItWasReadFrom)
{
    QFile file(QStringLiteral(TESSARY_TREES "/dump.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject written = QJsonDocument::fromJson(file.readAll()).object();
    auto fake = test::tree::load(written);
    const QJsonObject dumped = dumpTree(*fake, fake->root(), fake->application);
    EXPECT_EQ(dumped.value("root"), written.value("root")) << QJsonDocument(dumped).toJson().toStdString();
}

} // namespace
} // namespace tessary
