#include "platform/freedesktop/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPromise>
#include <QSet>
#include <QStandardPaths>
#include <QThreadPool>

#include <algorithm>

namespace tessary {

namespace {
// An installer writes a few files in a row: they are read once it is done.
constexpr auto settleTime = std::chrono::milliseconds(500);

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

// The folder, or the nearest one above it that exists: watched, it tells when the folder comes.
QString nearestFolder(QString path)
{
    while (!QFileInfo(path).isDir() && QFileInfo(path).path() != path)
        path = QFileInfo(path).path();
    return path;
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
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleTime);
    QObject::connect(&m_settle, &QTimer::timeout, &m_settle, [this] { readAgain(); });
    QObject::connect(&m_folders, &QFileSystemWatcher::directoryChanged, &m_settle,
                     qOverload<>(&QTimer::start));
    QObject::connect(&m_reading, &QFutureWatcherBase::finished, &m_reading,
                     [this] { adopt(m_reading.result()); });
    // Watched before the first reading, so that nothing written meanwhile goes unnoticed.
    QStringList roots;
    for (const QString& dataDir : std::as_const(m_dataDirs))
        roots.append(nearestFolder(dataDir + QStringLiteral("/applications")));
    roots.removeDuplicates();
    m_folders.addPaths(roots);
    readAgain();
}

void DesktopEntries::readAgain()
{
    // The worker owns what it reads into; a reading this object no longer waits for ends unseen.
    auto promise = std::make_shared<QPromise<std::shared_ptr<const Index>>>();
    promise->start(); // running from now on: a look waits for it
    m_reading.setFuture(promise->future());
    QThreadPool::globalInstance()->start([promise, dataDirs = m_dataDirs] {
        promise->addResult(read(dataDirs));
        promise->finish();
    });
}

void DesktopEntries::adopt(std::shared_ptr<const Index> index)
{
    m_index = std::move(index);
    // A folder that came stops its parent being watched for it.
    const QStringList watched = m_folders.directories();
    for (const QString& folder : watched)
        if (!m_index->folders.contains(folder))
            m_folders.removePath(folder);
    for (const QString& folder : m_index->folders)
        if (!watched.contains(folder))
            m_folders.addPath(folder);
}

const DesktopEntries::Index& DesktopEntries::index()
{
    if (!m_index)
        m_index = m_reading.future().result();
    return *m_index;
}

std::shared_ptr<const DesktopEntries::Index> DesktopEntries::read(const QStringList& dataDirs)
{
    auto index = std::make_shared<Index>();
    const QSet<QString> sharedFolders = pathFolders();
    for (const QString& dataDir : dataDirs) {
        const QString root = dataDir + QStringLiteral("/applications");
        index->folders.append(nearestFolder(root));
        QDirIterator folders(root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (folders.hasNext())
            index->folders.append(folders.next());
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
            if (!index->byId.contains(id))
                index->byId.insert(id, entry);
            // Earlier folders take precedence: the user's entry hides the system's.
            if (!wmClass.isEmpty() && !index->byWmClass.contains(wmClass.toLower()))
                index->byWmClass.insert(wmClass.toLower(), entry);
            const Launch launch = launchOf(exec);
            if (launch.program.isEmpty())
                continue;
            for (const QString& key : {launch.program, QFileInfo(launch.program).fileName()})
                if (!index->byExecutable.contains(key))
                    index->byExecutable.insert(key, entry);
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
            if (const auto known = index->byFolder.constFind(folder);
                known == index->byFolder.cend() || (!known->plain && launch.plain))
                index->byFolder.insert(folder, {entry, launch.plain});
        }
    }
    index->folders.removeDuplicates();
    return index;
}

RunningApplication DesktopEntries::describeExecutable(qint64 pid, const QString& executable)
{
    const Index& known = index();
    const QString baseName = QFileInfo(executable).fileName();
    RunningApplication application{pid, baseName, executable};
    const Entry* entry = nullptr;
    // A snap's binaries live under /snap/<name>/<revision>/, named as its desktop files never name
    // them (Chromium's chrome); the snap's own application has the id <name>_<name>.
    const QStringList folders = executable.split(QLatin1Char('/'));
    const QString snap =
        folders.size() > 3 && folders.at(1) == QLatin1String("snap") ? folders.at(2) : QString();
    if (auto bySnap = known.byId.constFind(snap + QLatin1Char('_') + snap);
        !snap.isEmpty() && bySnap != known.byId.cend())
        entry = &bySnap.value();
    else if (auto found = known.byExecutable.constFind(executable); found != known.byExecutable.cend())
        entry = &found.value();
    else if (auto byClass = known.byWmClass.constFind(baseName.toLower()); byClass != known.byWmClass.cend())
        entry = &byClass.value();
    else if (auto byName = known.byExecutable.constFind(baseName); byName != known.byExecutable.cend())
        entry = &byName.value();
    else if (auto byFolder = known.byFolder.constFind(QFileInfo(executable).path());
             byFolder != known.byFolder.cend())
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
        const QHash<QString, Entry>& byId = index().byId;
        const QString id =
            desktopEntryValue(sandbox.readAll(), QStringLiteral("name"), QStringLiteral("Application"));
        if (const auto found = byId.constFind(id); !id.isEmpty() && found != byId.cend())
            return RunningApplication{pid, found->id, found->path};
    }
    return describeExecutable(pid, executable);
}

} // namespace tessary
