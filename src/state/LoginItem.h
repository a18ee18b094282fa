#pragma once

#include "common/Expected.h"

#include <QString>

namespace tessary {

// Whether the application opens when the user logs in. On Linux an XDG autostart entry; tests use
// a fake.
class LoginItem {
public:
    virtual ~LoginItem() = default;
    // The real current state, read afresh each time: the user may change it outside the app.
    virtual bool isEnabled() const = 0;
    // Turns opening at login on or off; the error is a sentence the user is shown.
    virtual Expected<Done, QString> setEnabled(bool enabled) = 0;
};

} // namespace tessary
