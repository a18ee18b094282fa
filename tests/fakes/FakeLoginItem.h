#pragma once

#include "state/LoginItem.h"

#include <optional>

namespace tessary::test {

// Opening at login as a flag; `failure` makes every change fail with that message and leaves the
// flag as it was.
class FakeLoginItem : public LoginItem {
public:
    bool enabled = false;
    std::optional<QString> failure;
    int changes = 0;

    bool isEnabled() const override { return enabled; }
    Expected<Done, QString> setEnabled(bool on) override
    {
        ++changes;
        if (failure)
            return Unexpected{*failure};
        enabled = on;
        return Done{};
    }
};

} // namespace tessary::test
