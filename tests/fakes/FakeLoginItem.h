#pragma once

#include "state/LoginItem.h"

#include <optional>

namespace tessary::test {

// Opening at login as a flag; `failure` makes every change fail, leaving it. With `held` a change
// finishes only when `finish` is called, as a write on another thread does.
class FakeLoginItem : public LoginItem {
public:
    bool enabled = false;
    std::optional<QString> failure;
    int changes = 0;
    bool held = false;
    std::function<void()> finish;

    bool isEnabled() const override { return enabled; }
    void setEnabled(bool on, QObject*, std::function<void(const Expected<Done, QString>&)> done) override
    {
        ++changes;
        finish = [this, on, done] {
            if (failure)
                return done(Unexpected{*failure});
            enabled = on;
            done(Done{});
        };
        if (!held)
            finish();
    }
};

} // namespace tessary::test
