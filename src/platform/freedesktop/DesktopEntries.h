#pragma once

#include "screen/Accessibility.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace tessary {

// A key's value in a group of a desktop file (its main group, "[Desktop Entry]", unless another is
// named), its escapes (\s, \n, \t, \r, \\) undone; empty when absent. A localized key ("Name[de]")
// is a key of its own.
QString desktopEntryValue(const QByteArray& contents, const QString& key,
                          const QString& group = QStringLiteral("Desktop Entry"));
// The arguments of an Exec value: words apart at white space; double quotes hold a word together,
// inside them a backslash keeps a following ", `, $ or \ as it is; single quotes and a backslash
// outside quotes work as in the shell, as GLib reads them.
QStringList execArguments(const QString& exec);

// Names a running process the way the rest of the system names applications: the id of the
// desktop file that launches it ("firefox-esr", "chromium"), else its executable's name; its
// location is that desktop file, else the executable.
class DesktopEntries {
public:
    // The folders searched, in order of precedence; by default $XDG_DATA_HOME and $XDG_DATA_DIRS.
    // The processes are read in `proc`.
    explicit DesktopEntries(QStringList dataDirs = {}, QString proc = QStringLiteral("/proc"));

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
    QString m_proc;
    bool m_loaded = false;
    QHash<QString, Entry> m_byId;         // desktop-file id
    QHash<QString, Entry> m_byWmClass;    // StartupWMClass, lower case
    QHash<QString, Entry> m_byExecutable; // Exec's program: full path and basename
    struct Launcher {
        Entry entry;
        bool plain; // Exec gives the program no options
    };
    QHash<QString, Launcher> m_byFolder; // the folder Exec's program leads to, when not on PATH
};

} // namespace tessary
