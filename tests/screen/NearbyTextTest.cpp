#include "screen/CodeField.h"
#include "screen/TreeBuilder.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

using namespace test::tree;

// The host of the first web area among the element and its 39 nearest ancestors, when its address
// has one; the search ends where a parent cannot be read.
TEST(PageHostSearch, TheFirstWebAreaWithinFortyElementsWhoseURLHasAHost)
{
    const auto page = [](const QJsonValue& url, int groupsBetween) {
        QJsonObject attributes;
        if (!url.isUndefined())
            attributes.insert("AXURL", url);
        return node("AXWebArea", attributes, {nested(groupsBetween, focused(textField()))});
    };
    const std::tuple<const char*, QJsonObject, std::optional<QString>> rows[] = {
        {"the parent", page("https://shop.test/login", 0), "shop.test"},
        {"the 39th ancestor", page("https://shop.test/login", 38), "shop.test"},
        {"the 40th ancestor", page("https://shop.test/login", 39), std::nullopt},
        {"the element itself", focused(node("AXWebArea", {{"AXURL", "https://itself.test/"}})),
         "itself.test"},
        {"no page", group({focused(textField())}), std::nullopt},
        {"an address", page("http://127.0.0.1:8080/otp", 0), "127.0.0.1"},
        {"not a URL", page("not a url", 0), std::nullopt},
        {"no host", page("about:blank", 0), std::nullopt},
        {"no URL", page(QJsonValue(QJsonValue::Undefined), 0), std::nullopt},
    };
    for (const auto& [name, root, host] : rows) {
        auto fake = loadRoot(root);
        EXPECT_EQ(pageHost(*fake, *fake->focus()), host) << name;
    }
}

} // namespace
} // namespace tessary
