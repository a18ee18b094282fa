#include "state/QSettingsStore.h"

#include <QStandardPaths>

namespace tessary {

QSettingsStore::QSettingsStore(const QString& filePath)
    : m_settings(filePath, QSettings::IniFormat)
{
}

QString QSettingsStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tessary/") + QStringLiteral(TESSARY_APP_ID) + QStringLiteral(".conf");
}

bool QSettingsStore::contains(const QString& key) const
{
    return m_settings.contains(key);
}

QVariant QSettingsStore::value(const QString& key) const
{
    return m_settings.value(key);
}

void QSettingsStore::setValue(const QString& key, const QVariant& value)
{
    m_settings.setValue(key, value);
    m_settings.sync();
}

void QSettingsStore::remove(const QString& key)
{
    m_settings.remove(key);
    m_settings.sync();
}

} // namespace tessary
