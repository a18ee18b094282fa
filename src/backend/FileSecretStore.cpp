#include "backend/FileSecretStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

namespace tessary {

namespace {

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions othersAccess = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                  QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                  QFileDevice::WriteOther | QFileDevice::ExeOther;
constexpr qint64 maxSecretBytes = 64 * 1024;

bool ensureFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return QFile::setPermissions(folder, ownerOnly | QFileDevice::ExeOwner);
    const QFileInfo parent(info.absolutePath());
    if (!parent.isDir() && !QDir().mkpath(parent.absoluteFilePath()))
        return false;
    return QDir().mkdir(folder, ownerOnly | QFileDevice::ExeOwner);
}

} // namespace

FileSecretStore::FileSecretStore(QString folder, QString service)
    : m_folder(std::move(folder))
    , m_service(std::move(service))
{
}

QString FileSecretStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tessary");
}

QString FileSecretStore::filePath(const QString& key) const
{
    return m_folder + QLatin1Char('/') + m_service + QLatin1Char('.') + key;
}

std::optional<QString> FileSecretStore::read(const QString& key) const
{
    QFile file(filePath(key));
    if (!file.exists() || (file.permissions() & othersAccess))
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxSecretBytes)
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        return std::nullopt;
    return text;
}

// Written to a fresh owner-only file and renamed into place, so the secret is never readable by
// others, not even for a moment, and a crash leaves the old value or the new one.
bool FileSecretStore::write(const QString& key, const QString& value) const
{
    if (!ensureFolder(m_folder))
        return false;
    const QString target = filePath(key);
    const QString temporary = target + QStringLiteral(".new");
    QFile::remove(temporary);
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly))
        return false;
    const QByteArray bytes = value.toUtf8();
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written) {
        QFile::remove(temporary);
        return false;
    }
    // rename(2) replaces the old file in one step; QFile::rename refuses an existing target, and
    // removing it first would leave no token at all if the process died in between.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

void FileSecretStore::remove(const QString& key) const
{
    QFile::remove(filePath(key));
}

QCoro::Task<std::optional<QString>> FileSecretStore::keychainGet(QString key)
{
    co_return read(key);
}

QCoro::Task<bool> FileSecretStore::keychainSet(QString key, QString value)
{
    co_return write(key, value);
}

QCoro::Task<> FileSecretStore::keychainDelete(QString key)
{
    remove(key);
    co_return;
}

} // namespace tessary
