#include "platform/freedesktop/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>

namespace tessary {

namespace {
QStringList defaultDataDirs()
{
    return QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
}

// A string value's escapes undone; a backslash before anything else stays, for the Exec quoting.
QString unescaped(const QString& value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar next = i + 1 < value.size() ? value.at(i + 1) : QChar();
        const qsizetype known =
            value.at(i) == QLatin1Char('\\') ? QStringLiteral("sntr\\").indexOf(next) : -1;
        if (known < 0) {
            text += value.at(i);
            continue;
        }
        text += QStringLiteral(" \n\t\r\\").at(known);
        ++i;
    }
    return text;
}

// The program an Exec line runs (its first word that is not `env` or a VAR=value assignment), and
// whether options follow it: a launcher with none starts the program itself, one with options a
// variant of it (a profile, a web app).
struct Launch {
    QString program;
    bool plain = true;
};
Launch launchOf(const QString& exec)
{
    const QStringList words = execArguments(exec);
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words.at(i) == QLatin1String("env") || words.at(i).contains(QLatin1Char('=')))
            continue;
        const QStringList rest = words.mid(i + 1);
        return {words.at(i), std::none_of(rest.cbegin(), rest.cend(), [](const QString& word) {
                    return word.startsWith(QLatin1Char('-'));
                })};
    }
    return {};
}

// The folders on PATH, which hold many unrelated programs side by side.
QSet<QString> pathFolders()
{
    QSet<QString> folders;
    for (const QString& folder : qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders.insert(QFileInfo(folder).canonicalFilePath());
    return folders;
}
} // namespace

QString desktopEntryValue(const QByteArray& contents, const QString& key, const QString& group)
{
    bool inGroup = false;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0 && line.left(equals).trimmed() == key)
            return unescaped(line.mid(equals + 1).trimmed());
    }
    return {};
}

QStringList execArguments(const QString& exec)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote; // '"' or '\'' while inside quotes
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        const QChar next = i + 1 < exec.size() ? exec.at(i + 1) : QChar();
        if (quote == QLatin1Char('\'')) {
            if (c == quote)
                quote = QChar();
            else
                word += c;
        } else if (quote == QLatin1Char('"')) {
            if (c == QLatin1Char('\\') && QStringLiteral("\"`$\\").contains(next)) {
                word += next;
                ++i;
            } else if (c == quote) {
                quote = QChar();
            } else {
                word += c;
            }
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            inWord = true;
        } else if (c == QLatin1Char('\\') && !next.isNull()) {
            word += next;
            inWord = true;
            ++i;
        } else if (c.isSpace()) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

DesktopEntries::DesktopEntries(QStringList dataDirs, QString proc)
    : m_dataDirs(dataDirs.isEmpty() ? defaultDataDirs() : std::move(dataDirs))
    , m_proc(std::move(proc))
{
}

void DesktopEntries::load()
{
    m_loaded = true;
    const QSet<QString> sharedFolders = pathFolders();
    for (const QString& dataDir : m_dataDirs) {
        const QString root = dataDir + QStringLiteral("/applications");
        QDirIterator files(root, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            // The desktop-file id: the path below applications/, with '/' turned into '-'.
            QString id = QDir(root).relativeFilePath(path);
            id.chop(int(qstrlen(".desktop")));
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray contents = file.readAll();
            const QString exec = desktopEntryValue(contents, QStringLiteral("Exec"));
            const QString wmClass = desktopEntryValue(contents, QStringLiteral("StartupWMClass"));
            const Entry entry{id, QFileInfo(path).absoluteFilePath()};
            if (!m_byId.contains(id))
                m_byId.insert(id, entry);
            // Earlier folders take precedence: the user's entry hides the system's.
            if (!wmClass.isEmpty() && !m_byWmClass.contains(wmClass.toLower()))
                m_byWmClass.insert(wmClass.toLower(), entry);
            const Launch launch = launchOf(exec);
            if (launch.program.isEmpty())
                continue;
            for (const QString& key : {launch.program, QFileInfo(launch.program).fileName()})
                if (!m_byExecutable.contains(key))
                    m_byExecutable.insert(key, entry);
            // A launcher may be a link into the program's own folder, to a script that starts
            // another binary there (/usr/bin/google-chrome-stable → /opt/google/chrome/google-chrome,
            // which runs chrome); the plain launcher then names every process of that folder.
            const QFileInfo launcher(QDir::isAbsolutePath(launch.program)
                                         ? launch.program
                                         : QStandardPaths::findExecutable(launch.program));
            const QString target = launcher.canonicalFilePath();
            const QString folder = QFileInfo(target).path();
            if (target.isEmpty() || folder == launcher.absolutePath() || sharedFolders.contains(folder))
                continue;
            if (const auto known = m_byFolder.constFind(folder);
                known == m_byFolder.cend() || (!known->plain && launch.plain))
                m_byFolder.insert(folder, {entry, launch.plain});
        }
    }
}

RunningApplication DesktopEntries::describeExecutable(qint64 pid, const QString& executable)
{
    if (!m_loaded)
        load();
    const QString baseName = QFileInfo(executable).fileName();
    RunningApplication application{pid, baseName, executable};
    const Entry* entry = nullptr;
    // A snap's binaries live under /snap/<name>/<revision>/, named as its desktop files never name
    // them (Chromium's chrome); the snap's own application has the id <name>_<name>.
    const QStringList folders = executable.split(QLatin1Char('/'));
    const QString snap =
        folders.size() > 3 && folders.at(1) == QLatin1String("snap") ? folders.at(2) : QString();
    if (auto bySnap = m_byId.constFind(snap + QLatin1Char('_') + snap);
        !snap.isEmpty() && bySnap != m_byId.cend())
        entry = &bySnap.value();
    else if (auto found = m_byExecutable.constFind(executable); found != m_byExecutable.cend())
        entry = &found.value();
    else if (auto byClass = m_byWmClass.constFind(baseName.toLower()); byClass != m_byWmClass.cend())
        entry = &byClass.value();
    else if (auto byName = m_byExecutable.constFind(baseName); byName != m_byExecutable.cend())
        entry = &byName.value();
    else if (auto byFolder = m_byFolder.constFind(QFileInfo(executable).path());
             byFolder != m_byFolder.cend())
        entry = &byFolder->entry;
    if (entry) {
        application.appId = entry->id;
        application.appPath = entry->path;
    }
    return application;
}

std::optional<RunningApplication> DesktopEntries::describe(qint64 pid)
{
    QString executable = QFileInfo(QStringLiteral("%1/%2/exe").arg(m_proc).arg(pid)).symLinkTarget();
    if (executable.endsWith(QLatin1String(" (deleted)"))) // upgraded while running
        executable.chop(10);
    if (executable.isEmpty())
        return RunningApplication{pid, {}, {}};
    // A Flatpak runs a binary inside its sandbox (/app/extra/chrome) under a name no desktop file
    // gives; the sandbox tells its application id, which its desktop file carries.
    QFile sandbox(QStringLiteral("%1/%2/root/.flatpak-info").arg(m_proc).arg(pid));
    if (sandbox.open(QIODevice::ReadOnly)) {
        if (!m_loaded)
            load();
        const QString id =
            desktopEntryValue(sandbox.readAll(), QStringLiteral("name"), QStringLiteral("Application"));
        if (const auto found = m_byId.constFind(id); !id.isEmpty() && found != m_byId.cend())
            return RunningApplication{pid, found->id, found->path};
    }
    return describeExecutable(pid, executable);
}

} // namespace tessary
