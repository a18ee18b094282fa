#include "platform/freedesktop/XdgAutostart.h"

#include "common/FileWriter.h"
#include "platform/freedesktop/DesktopEntries.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>

namespace tessary {

QString quoteExecArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool needsQuotes = argument.isEmpty() || std::any_of(argument.cbegin(), argument.cend(),
                                                               [](QChar c) { return reserved.contains(c); });
    QString text = argument;
    text.replace(QLatin1Char('%'), QLatin1String("%%")); // field codes start with %
    if (!needsQuotes)
        return text;
    QString quoted;
    for (const QChar c : std::as_const(text)) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))
            quoted += QLatin1Char('\\');
        else if (c == QLatin1Char('\\'))
            // Escaped once inside the quotes, and once more as a string value of the file.
            quoted += QLatin1String("\\\\\\");
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

XdgAutostart::XdgAutostart(QString appId, QStringList command, QString directory)
    : m_appId(std::move(appId))
    , m_command(std::move(command))
    , m_directory(std::move(directory))
{
}

XdgAutostart::~XdgAutostart()
{
    fileWriter().waitForDone();
}

QString XdgAutostart::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

QString XdgAutostart::filePath() const
{
    return m_directory + QLatin1Char('/') + m_appId + QStringLiteral(".desktop");
}

QByteArray XdgAutostart::entry() const
{
    QStringList exec;
    for (const QString& argument : m_command)
        exec.append(quoteExecArgument(argument));
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Tessary\n"
                          "Comment=Types e-mailed verification codes for you\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(exec.join(QLatin1Char(' ')))
        .toUtf8();
}

bool XdgAutostart::isEnabled() const
{
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // GNOME's session settings switch an entry off with their own key instead of Hidden.
    const QByteArray entry = file.readAll();
    return desktopEntryValue(entry, QStringLiteral("Hidden")) != QLatin1String("true") &&
           desktopEntryValue(entry, QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1String("false");
}

void XdgAutostart::setEnabled(bool enabled, QObject* context,
                              std::function<void(const Expected<Done, QString>&)> done)
{
    // The answer comes back through this object, which outlives the thread, and `context` is
    // looked at only then, on its own thread.
    fileWriter().start([this, enabled, context = QPointer<QObject>(context), done = std::move(done)] {
        QMetaObject::invokeMethod(
            this,
            [context, done, result = setEnabledNow(enabled)] {
                if (context)
                    done(result);
            },
            Qt::QueuedConnection);
    });
}

Expected<Done, QString> XdgAutostart::setEnabledNow(bool enabled) const
{
    if (!enabled) {
        QFile file(filePath());
        if (file.exists() && !file.remove())
            return Unexpected{QStringLiteral("Couldn't remove %1: %2").arg(filePath(), file.errorString())};
        return Done{};
    }
    if (!QDir().mkpath(m_directory))
        return Unexpected{QStringLiteral("Couldn't create the folder %1.").arg(m_directory)};
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(entry()) < 0 || !file.commit())
        return Unexpected{QStringLiteral("Couldn't write %1: %2").arg(filePath(), file.errorString())};
    return Done{};
}

} // namespace tessary
