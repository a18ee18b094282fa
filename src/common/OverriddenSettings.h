#pragma once

#include "common/SettingsStore.h"

#include <optional>

namespace tessary {

// The stored settings with "backendURL" replaced for this process: by a command's --backend, or
// by the address of the backend started in process. Everything else, writes included, goes to the
// stored settings; the replacement itself is never written back.
class OverriddenSettings : public SettingsStore {
public:
    OverriddenSettings(SettingsStore& base, std::optional<QString> backendURL);
    bool contains(const QString& key) const override;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;

private:
    SettingsStore& m_base;
    std::optional<QString> m_backendURL;
};

} // namespace tessary
