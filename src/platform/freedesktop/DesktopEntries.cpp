#include "platform/freedesktop/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace tessary {

namespace {
QStringList defaultDataDirs()
{
    return QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
}

// The program an Exec line runs: its first word that is not `env` or a VAR=value assignment.
QString programOf(const QString& exec)
{
    const QStringList words = exec.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString word : words) {
        word.remove(QLatin1Char('"'));
        if (word == QLatin1String("env") || word.contains(QLatin1Char('=')))
            continue;
        return word;
    }
    return {};
}
} // namespace

DesktopEntries::DesktopEntries(QStringList dataDirs)
    : m_dataDirs(dataDirs.isEmpty() ? defaultDataDirs() : std::move(dataDirs))
{
}

void DesktopEntries::load()
{
    m_loaded = true;
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
            if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
                continue;
            QString exec;
            QString wmClass;
            bool inMainGroup = false;
            while (!file.atEnd()) {
                const QString line = QString::fromUtf8(file.readLine()).trimmed();
                if (line.startsWith(QLatin1Char('[')))
                    inMainGroup = line == QLatin1String("[Desktop Entry]");
                else if (inMainGroup && line.startsWith(QLatin1String("Exec=")))
                    exec = line.mid(5);
                else if (inMainGroup && line.startsWith(QLatin1String("StartupWMClass=")))
                    wmClass = line.mid(15);
            }
            const Entry entry{id, QFileInfo(path).absoluteFilePath()};
            // Earlier folders take precedence: the user's entry hides the system's.
            if (!wmClass.isEmpty() && !m_byWmClass.contains(wmClass.toLower()))
                m_byWmClass.insert(wmClass.toLower(), entry);
            const QString program = programOf(exec);
            if (program.isEmpty())
                continue;
            for (const QString& key : {program, QFileInfo(program).fileName()})
                if (!m_byExecutable.contains(key))
                    m_byExecutable.insert(key, entry);
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
    if (auto found = m_byExecutable.constFind(executable); found != m_byExecutable.cend())
        entry = &found.value();
    else if (auto byClass = m_byWmClass.constFind(baseName.toLower()); byClass != m_byWmClass.cend())
        entry = &byClass.value();
    else if (auto byName = m_byExecutable.constFind(baseName); byName != m_byExecutable.cend())
        entry = &byName.value();
    if (entry) {
        application.bundleIdentifier = entry->id;
        application.bundleURL = entry->path;
    }
    return application;
}

std::optional<RunningApplication> DesktopEntries::describe(qint64 pid)
{
    QString executable = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (executable.endsWith(QLatin1String(" (deleted)"))) // upgraded while running
        executable.chop(10);
    if (executable.isEmpty())
        return RunningApplication{pid, {}, {}};
    return describeExecutable(pid, executable);
}

} // namespace tessary
