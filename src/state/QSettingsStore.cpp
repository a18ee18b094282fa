#include "state/QSettingsStore.h"

#include "common/FileWriter.h"
#include "common/Logging.h"

#include <QSettings>
#include <QStandardPaths>
#include <QThreadPool>

namespace tessary {

QSettingsStore::QSettingsStore(const QString& filePath)
    : m_filePath(filePath)
{
    fileWriter().waitForDone();
    const QSettings stored(m_filePath, QSettings::IniFormat);
    for (const QString& key : stored.allKeys())
        m_values.insert(key, stored.value(key));
}

QSettingsStore::~QSettingsStore()
{
    fileWriter().waitForDone();
}

QString QSettingsStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tessary/") + QStringLiteral(TESSARY_APP_ID) + QStringLiteral(".conf");
}

bool QSettingsStore::contains(const QString& key) const
{
    return m_values.contains(key);
}

QVariant QSettingsStore::value(const QString& key) const
{
    return m_values.value(key);
}

void QSettingsStore::setValue(const QString& key, const QVariant& value)
{
    m_values.insert(key, value);
    write([key, value](QSettings& settings) { settings.setValue(key, value); });
}

void QSettingsStore::remove(const QString& key)
{
    m_values.remove(key);
    write([key](QSettings& settings) { settings.remove(key); });
}

void QSettingsStore::write(std::function<void(QSettings&)> change)
{
    fileWriter().start([path = m_filePath, change = std::move(change)] {
        QSettings settings(path, QSettings::IniFormat);
        change(settings);
        settings.sync();
        if (settings.status() != QSettings::NoError)
            qCWarning(logState) << "Couldn't write the settings file" << path;
    });
}

} // namespace tessary
