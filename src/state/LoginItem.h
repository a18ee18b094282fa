#pragma once

#include "common/Expected.h"

#include <QObject>
#include <QString>

#include <functional>

namespace tessary {

// Whether the application opens when the user logs in. On Linux an XDG autostart entry; tests use
// a fake.
class LoginItem {
public:
    virtual ~LoginItem() = default;
    // The real current state, read afresh each time: the user may change it outside the app.
    virtual bool isEnabled() const = 0;
    // Turns opening at login on or off, without waiting for the disk; `done` runs later, on this
    // thread, with the error as a sentence the user is shown, unless `context` is gone by then.
    virtual void setEnabled(bool enabled, QObject* context,
                            std::function<void(const Expected<Done, QString>&)> done) = 0;
};

} // namespace tessary
