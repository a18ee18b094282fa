#pragma once

#include "backend/SecretStore.h"

namespace tessary {

// Secrets kept in files only this user can read: a 0700 folder (normally $XDG_DATA_HOME/tessary)
// holding one 0600 file per key, named "<service>.<key>". Used when the desktop has no Secret
// Service or cannot store in it. A file that others can read is not trusted: it reads as absent,
// so the token is replaced and rewritten with owner-only permissions.
class FileSecretStore : public SecretStore {
public:
    FileSecretStore(QString folder, QString service);

    // $XDG_DATA_HOME/tessary
    static QString defaultFolder();

    QCoro::Task<std::optional<QString>> keychainGet(QString key) override;
    QCoro::Task<bool> keychainSet(QString key, QString value) override;
    QCoro::Task<> keychainDelete(QString key) override;
    QString location() const override { return m_folder; }

    QString filePath(const QString& key) const;
    std::optional<QString> read(const QString& key) const;
    bool write(const QString& key, const QString& value) const;
    void remove(const QString& key) const;

private:
    QString m_folder;
    QString m_service;
};

} // namespace tessary
