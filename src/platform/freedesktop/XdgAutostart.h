#pragma once

#include "state/LoginItem.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace tessary {

// Opening at login as an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<app id>.desktop, which
// every freedesktop session starts at login. It counts as enabled while the file exists and is
// not marked Hidden (the way a user or a settings tool switches an entry off). The app's switch
// writes the entry on the file-writing thread.
class XdgAutostart : public QObject, public LoginItem {
public:
    // `command` is the program and its arguments, quoted into the entry's Exec line as needed.
    XdgAutostart(QString appId, QStringList command, QString directory = defaultDirectory());
    // Waits for the entry being written.
    ~XdgAutostart() override;

    // $XDG_CONFIG_HOME/autostart
    static QString defaultDirectory();

    bool isEnabled() const override;
    void setEnabled(bool enabled, QObject* context,
                    std::function<void(const Expected<Done, QString>&)> done) override;
    // The same, waiting for the disk: for a command-line tool, and a move that must be done
    // before anything reads the entry.
    Expected<Done, QString> setEnabledNow(bool enabled) const;

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
