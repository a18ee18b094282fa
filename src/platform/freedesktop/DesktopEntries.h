#pragma once

#include "screen/Accessibility.h"

#include <QHash>
#include <QString>

#include <optional>

namespace tessary {

// Names a running process the way the rest of the system names applications: the id of the
// desktop file that launches it ("firefox-esr", "chromium"), else its executable's name; its
// location is that desktop file, else the executable.
class DesktopEntries {
public:
    // The folders searched, in order of precedence; by default $XDG_DATA_HOME and $XDG_DATA_DIRS.
    explicit DesktopEntries(QStringList dataDirs = {});

    std::optional<RunningApplication> describe(qint64 pid);
    // The same from an executable's path, for processes already looked at.
    RunningApplication describeExecutable(qint64 pid, const QString& executable);

private:
    struct Entry {
        QString id;
        QString path;
    };
    void load();

    QStringList m_dataDirs;
    bool m_loaded = false;
    QHash<QString, Entry> m_byWmClass;    // StartupWMClass, lower case
    QHash<QString, Entry> m_byExecutable; // Exec's program: full path and basename
};

} // namespace tessary
