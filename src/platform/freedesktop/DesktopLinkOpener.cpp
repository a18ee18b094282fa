#include "platform/freedesktop/DesktopLinkOpener.h"

#include "common/Logging.h"
#include "platform/freedesktop/DesktopEntries.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>

namespace tessary {

namespace {

// The Exec line of a desktop file's main entry. Not through QSettings: its INI reading takes a
// comma for a list separator and strips quotes, and either breaks a command line.
QString execLineOf(const QString& desktopFile)
{
    QFile file(desktopFile);
    return file.open(QIODevice::ReadOnly) ? desktopEntryValue(file.readAll(), QStringLiteral("Exec"))
                                          : QString();
}

bool startDetached(QStringList command)
{
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}

} // namespace

QStringList DesktopLinkOpener::command(const QString& desktopFile, const QUrl& url)
{
    const QString execLine = execLineOf(desktopFile);
    const QString link = url.toString(QUrl::FullyEncoded);
    QStringList arguments;
    bool placed = false;
    for (const QString& word : execArguments(execLine)) {
        if (word == QLatin1String("%u") || word == QLatin1String("%U")) {
            arguments.append(link);
            placed = true;
            continue;
        }
        // Other field codes (%f, %F, %i, %c, %k, ...) stand for nothing a link gives.
        if (word.size() == 2 && word.startsWith(QLatin1Char('%')) && word != QLatin1String("%%"))
            continue;
        arguments.append(QString(word).replace(QLatin1String("%%"), QLatin1String("%")));
    }
    if (arguments.isEmpty())
        return {};
    if (!placed)
        arguments.append(link);
    return arguments;
}

bool DesktopLinkOpener::open(const QUrl& url, const std::optional<QString>& application)
{
    if (application && !application->isEmpty()) {
        const QStringList arguments = application->endsWith(QLatin1String(".desktop"))
                                          ? command(*application, url)
                                          : QStringList{*application, url.toString(QUrl::FullyEncoded)};
        if (startDetached(arguments))
            return true;
        qCWarning(logDesktop).noquote()
            << "could not start" << *application << "to open a link; the default browser opens it";
    }
    if (QDesktopServices::openUrl(url))
        return true;
    qCWarning(logDesktop).noquote() << "no browser took a link";
    return false;
}

} // namespace tessary
