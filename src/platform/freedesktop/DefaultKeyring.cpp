#include "platform/freedesktop/DefaultKeyring.h"

#include <QCoro/QCoroSignal>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <memory>
#include <optional>

namespace tessary {

namespace {

const QString secretsService = QStringLiteral("org.freedesktop.secrets");

// One call's single reply argument; nothing for an error, no reply in time, or another shape.
QCoro::Task<std::optional<QVariant>> answer(QDBusConnection bus, QDBusMessage call,
                                            std::chrono::milliseconds timeout)
{
    const auto watcher = std::make_unique<QDBusPendingCallWatcher>(bus.asyncCall(call, int(timeout.count())));
    if (!watcher->isFinished())
        co_await qCoro(watcher.get(), &QDBusPendingCallWatcher::finished, timeout);
    const QDBusMessage reply = watcher->reply();
    if (!watcher->isFinished() || reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        co_return std::nullopt;
    co_return reply.arguments().constFirst();
}

} // namespace

QCoro::Task<bool> defaultKeyringUnlocked(QDBusConnection bus, std::chrono::milliseconds timeout)
{
    QDBusMessage readAlias = QDBusMessage::createMethodCall(
        secretsService, QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("ReadAlias"));
    readAlias << QStringLiteral("default");
    const std::optional<QVariant> alias = co_await answer(bus, readAlias, timeout);
    // "/" is the service's way of saying that no collection has the alias.
    const QString path = alias ? qvariant_cast<QDBusObjectPath>(*alias).path() : QString();
    if (path.isEmpty() || path == QLatin1String("/"))
        co_return false;

    QDBusMessage readLocked = QDBusMessage::createMethodCall(
        secretsService, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    readLocked << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
    const std::optional<QVariant> locked = co_await answer(bus, readLocked, timeout);
    const QVariant value = locked ? qvariant_cast<QDBusVariant>(*locked).variant() : QVariant();
    co_return value.typeId() == QMetaType::Bool && !value.toBool();
}

} // namespace tessary
