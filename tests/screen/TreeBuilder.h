#pragma once

#include "fakes/FakeAccessibility.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// Small element trees written as they read: group({heading("Enter the code"), focused(textField())}).
namespace tessary::test::tree {

inline QJsonObject node(const QString& role, QJsonObject attributes = {}, QJsonArray children = {})
{
    attributes.insert("AXRole", role);
    QJsonObject result{{"attributes", attributes}};
    if (!children.isEmpty())
        result.insert("children", children);
    return result;
}

inline QJsonObject withId(QJsonObject object, const QString& id)
{
    object.insert("id", id);
    return object;
}

inline QJsonObject focused(QJsonObject object)
{
    object.insert("focused", true);
    return object;
}

// A text field of an ordinary width, 300 points.
inline QJsonObject textField(QJsonObject attributes = {}, double width = 300)
{
    QJsonObject field = node("AXTextField", std::move(attributes));
    field.insert("frame", QJsonArray{100, 500, width, 32});
    return field;
}

inline QJsonObject staticText(const QString& text)
{
    return node("AXStaticText", {{"AXValue", text}});
}

inline QJsonObject group(QJsonArray children, QJsonObject attributes = {})
{
    return node("AXGroup", std::move(attributes), std::move(children));
}

// `inner` wrapped in `depth` groups.
inline QJsonObject nested(int depth, QJsonObject inner)
{
    for (int i = 0; i < depth; ++i)
        inner = group({inner});
    return inner;
}

inline QJsonObject webArea(const QString& url, QJsonArray children)
{
    QJsonObject area = node("AXWebArea", {{"AXURL", url}}, std::move(children));
    area.insert("frame", QJsonArray{0, 0, 1200, 800});
    return area;
}

inline QJsonObject file(QJsonObject root, std::optional<QString> appId = std::nullopt)
{
    QJsonObject result{{"root", root}};
    if (appId)
        result.insert("app", QJsonObject{{"pid", 4242}, {"bundleId", *appId}, {"appPath", "/usr/bin/app"}});
    return result;
}

// Loads the tree; the test fails at once when the tree itself is malformed.
inline std::unique_ptr<FakeAccessibility> load(const QJsonObject& fileObject)
{
    auto fake = FakeAccessibility::fromJson(fileObject);
    if (!fake) {
        ADD_FAILURE() << "bad tree: " << fake.error().toStdString();
        return nullptr;
    }
    return std::move(fake).value();
}

// An application `appId` in front whose one window is `window`.
inline std::unique_ptr<FakeAccessibility> appWindow(QJsonObject window, const QString& appId = "firefox-esr")
{
    window.insert("window", true);
    return load(file(node("AXApplication", {}, {window}), appId));
}

// A tree with a frontmost app whose root holds `root`, the element marked focused being the field.
inline std::unique_ptr<FakeAccessibility> loadRoot(const QJsonObject& root)
{
    return load(file(root, QStringLiteral("some-app")));
}

} // namespace tessary::test::tree
