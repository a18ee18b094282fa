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
    void setEnabled(bool on, QObject*, std::function<void(const Expected<Done, QString>&)> done) override
    {
        ++changes;
        if (failure)
            return done(Unexpected{*failure});
        enabled = on;
        done(Done{});
    }
};

} // namespace tessary::test
