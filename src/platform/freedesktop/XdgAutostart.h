#pragma once

#include "state/LoginItem.h"

#include <QString>
#include <QStringList>

namespace tessary {

// Opening at login as an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<app id>.desktop, which
// every freedesktop session starts at login. It counts as enabled while the file exists and is
// not marked Hidden (the way a user or a settings tool switches an entry off).
class XdgAutostart : public LoginItem {
public:
    // `command` is the program and its arguments, quoted into the entry's Exec line as needed.
    XdgAutostart(QString appId, QStringList command, QString directory = defaultDirectory());

    // $XDG_CONFIG_HOME/autostart
    static QString defaultDirectory();

    bool isEnabled() const override;
    Expected<Done, QString> setEnabled(bool enabled) override;

    QString filePath() const;
    // The whole entry as written.
    QByteArray entry() const;

private:
    QString m_appId;
    QStringList m_command;
    QString m_directory;
};

// One argument of an Exec line, quoted and escaped when it holds anything but plain characters.
QString quoteExecArgument(const QString& argument);

} // namespace tessary
