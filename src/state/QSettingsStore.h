#pragma once

#include "common/SettingsStore.h"

#include <QHash>

#include <functional>

class QSettings;

namespace tessary {

// The real settings: an INI file under $XDG_CONFIG_HOME, one per application id so a developer
// build keeps settings of its own. Keys are stored as given ("backendURL", "shortcut", ...).
// Every change is written through at once, so a crash loses nothing and tessary-inspect sees it,
// but on a thread of its own: QSettings syncs the file to the disk, which on a busy disk waited
// for most of a second on the thread that changed a setting. Reads come from memory; a store made
// later in the process reads what every earlier one wrote.
class QSettingsStore : public SettingsStore {
public:
    explicit QSettingsStore(const QString& filePath = defaultPath());
    // Waits for the changes still being written.
    ~QSettingsStore() override;
    QSettingsStore(const QSettingsStore&) = delete;
    QSettingsStore& operator=(const QSettingsStore&) = delete;

    // $XDG_CONFIG_HOME/tessary/<application id>.conf
    static QString defaultPath();

    bool contains(const QString& key) const override;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;

private:
    // Applies `change` to the file after every change made before it.
    void write(std::function<void(QSettings&)> change);

    const QString m_filePath;
    QHash<QString, QVariant> m_values;
};

} // namespace tessary
