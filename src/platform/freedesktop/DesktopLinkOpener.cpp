#include "platform/freedesktop/DesktopLinkOpener.h"

#include "common/Logging.h"

#include <QDesktopServices>
#include <QProcess>
#include <QSettings>

namespace tessary {

namespace {

// The Exec line of a desktop file's main entry.
QString execLineOf(const QString& desktopFile)
{
    QSettings entry(desktopFile, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    return entry.value(QStringLiteral("Exec")).toString();
}

bool startDetached(QStringList command)
{
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}

} // namespace

QStringList DesktopLinkOpener::execCommand(const QString& execLine, const QUrl& url)
{
    const QString link = url.toString(QUrl::FullyEncoded);
    QStringList command;
    bool placed = false;
    for (const QString& word : QProcess::splitCommand(execLine)) {
        if (word == QLatin1String("%u") || word == QLatin1String("%U")) {
            command.append(link);
            placed = true;
            continue;
        }
        // Other field codes (%f, %F, %i, %c, %k, ...) stand for nothing a link gives.
        if (word.size() == 2 && word.startsWith(QLatin1Char('%')) && word != QLatin1String("%%"))
            continue;
        command.append(QString(word).replace(QLatin1String("%%"), QLatin1String("%")));
    }
    if (command.isEmpty())
        return {};
    if (!placed)
        command.append(link);
    return command;
}

void DesktopLinkOpener::open(const QUrl& url, const std::optional<QString>& application)
{
    if (application && !application->isEmpty()) {
        const QStringList command = application->endsWith(QLatin1String(".desktop"))
                                        ? execCommand(execLineOf(*application), url)
                                        : QStringList{*application, url.toString(QUrl::FullyEncoded)};
        if (startDetached(command))
            return;
        qCWarning(logDesktop).noquote()
            << "could not start" << *application << "to open a link; the default browser opens it";
    }
    QDesktopServices::openUrl(url);
}

} // namespace tessary
