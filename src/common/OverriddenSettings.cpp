#include "common/OverriddenSettings.h"

namespace tessary {

OverriddenSettings::OverriddenSettings(SettingsStore& base, std::optional<QString> backendURL)
    : m_base(base)
    , m_backendURL(std::move(backendURL))
{
}

bool OverriddenSettings::contains(const QString& key) const
{
    return (m_backendURL && key == QLatin1String("backendURL")) || m_base.contains(key);
}

QVariant OverriddenSettings::value(const QString& key) const
{
    if (m_backendURL && key == QLatin1String("backendURL"))
        return *m_backendURL;
    return m_base.value(key);
}

void OverriddenSettings::setValue(const QString& key, const QVariant& value)
{
    m_base.setValue(key, value);
}

void OverriddenSettings::remove(const QString& key)
{
    m_base.remove(key);
}

} // namespace tessary
