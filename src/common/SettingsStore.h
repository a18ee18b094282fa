#pragma once

#include <QString>
#include <QVariant>

namespace tessary {

// The per-user settings, keyed by the names every build shares ("backendURL", "shortcut",
// "autoFillOnMatch", ...). The real store sits in $XDG_CONFIG_HOME; tests use an in-memory one.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual bool contains(const QString& key) const = 0;
    virtual QVariant value(const QString& key) const = 0; // invalid when absent
    virtual void setValue(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;
};

} // namespace tessary
