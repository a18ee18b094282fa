#pragma once

#include "screen/Accessibility.h"

#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
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
//
// The desktop files are read on a worker thread, from construction on, and read again once their
// folders have settled after a change (an application installed or removed); until the new
// reading is done the previous one names processes. Only a look before the first reading is done
// waits for it. Main thread only.
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
    struct Launcher {
        Entry entry;
        bool plain; // Exec gives the program no options
    };
    struct Index {
        QHash<QString, Entry> byId;         // desktop-file id
        QHash<QString, Entry> byWmClass;    // StartupWMClass, lower case
        QHash<QString, Entry> byExecutable; // Exec's program: full path and basename
        QHash<QString, Launcher> byFolder;  // the folder Exec's program leads to, when not on PATH
        // Watched: the applications folders and those in them, or the nearest above a missing one.
        QStringList folders;
    };
    static std::shared_ptr<const Index> read(const QStringList& dataDirs);
    void readAgain();
    void adopt(std::shared_ptr<const Index> index);
    const Index& index();

    QStringList m_dataDirs;
    QString m_proc;
    std::shared_ptr<const Index> m_index;
    QFileSystemWatcher m_folders;
    QTimer m_settle;
    QFutureWatcher<std::shared_ptr<const Index>> m_reading;
};

} // namespace tessary
