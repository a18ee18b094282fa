#pragma once

#include "common/SettingsStore.h"

#include <QSettings>

namespace tessary {

// The real settings: an INI file under $XDG_CONFIG_HOME, one per application id so a developer
// build keeps settings of its own. Keys are stored as given ("backendURL", "shortcut", ...).
// Every change is written through at once, so a crash loses nothing and tessary-inspect sees it.
class QSettingsStore : public SettingsStore {
public:
    explicit QSettingsStore(const QString& filePath = defaultPath());

    // $XDG_CONFIG_HOME/tessary/<application id>.conf
    static QString defaultPath();

    bool contains(const QString& key) const override;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;

    QString filePath() const { return m_settings.fileName(); }

private:
    QSettings m_settings;
};

} // namespace tessary
