#include "platform/freedesktop/DefaultKeyring.h"

#include <QCoro/QCoroSignal>
#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <memory>
#include <optional>

namespace tessary {

namespace {

const QString secretsService = QStringLiteral("org.freedesktop.secrets");

// The reply to one call, an error included; nothing when none came within `timeout`, or the bus
// gave up waiting for it or for the service to start.
QCoro::Task<std::optional<QDBusMessage>> reply(QDBusConnection bus, QDBusMessage call,
                                               std::chrono::milliseconds timeout)
{
    const auto watcher = std::make_unique<QDBusPendingCallWatcher>(bus.asyncCall(call, int(timeout.count())));
    if (!watcher->isFinished())
        co_await qCoro(watcher.get(), &QDBusPendingCallWatcher::finished, timeout);
    if (!watcher->isFinished())
        co_return std::nullopt;
    const QDBusMessage message = watcher->reply();
    const auto error = QDBusError(message).type();
    if (error == QDBusError::NoReply || error == QDBusError::Timeout || error == QDBusError::TimedOut)
        co_return std::nullopt;
    co_return message;
}

// The reply's `count` arguments; nothing for an error or another shape.
std::optional<QVariantList> arguments(const QDBusMessage& reply, int count)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != count)
        return std::nullopt;
    return reply.arguments();
}

// The reply's one argument; nothing for an error or another shape.
QVariant argument(const QDBusMessage& reply)
{
    const auto single = arguments(reply, 1);
    return single ? single->constFirst() : QVariant();
}

} // namespace

QCoro::Task<DefaultKeyring> defaultKeyring(QDBusConnection bus, std::chrono::milliseconds timeout)
{
    QDBusMessage readAlias = QDBusMessage::createMethodCall(
        secretsService, QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("ReadAlias"));
    readAlias << QStringLiteral("default");
    const std::optional<QDBusMessage> alias = co_await reply(bus, readAlias, timeout);
    if (!alias)
        co_return DefaultKeyring::silent;
    // "/" is the service's way of saying that no collection has the alias.
    const QString path = qvariant_cast<QDBusObjectPath>(argument(*alias)).path();
    if (path.isEmpty() || path == QLatin1String("/"))
        co_return DefaultKeyring::unusable;

    QDBusMessage readLocked = QDBusMessage::createMethodCall(
        secretsService, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    readLocked << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
    const std::optional<QDBusMessage> locked = co_await reply(bus, readLocked, timeout);
    if (!locked)
        co_return DefaultKeyring::silent;
    const QVariant value = qvariant_cast<QDBusVariant>(argument(*locked)).variant();
    if (value.typeId() != QMetaType::Bool)
        co_return DefaultKeyring::unusable;
    co_return value.toBool() ? DefaultKeyring::locked : DefaultKeyring::open;
}

QCoro::Task<bool> lockedItemHeld(QDBusConnection bus, QString service, QString key,
                                 std::chrono::milliseconds timeout)
{
    QDBusMessage search = QDBusMessage::createMethodCall(
        secretsService, QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("SearchItems"));
    qDBusRegisterMetaType<QMap<QString, QString>>(); // the search's attributes are a{ss}
    const QMap<QString, QString> attributes{{QStringLiteral("server"), service},
                                            {QStringLiteral("user"), key}};
    search << QVariant::fromValue(attributes);
    const std::optional<QDBusMessage> answer = co_await reply(bus, search, timeout);
    if (!answer)
        co_return true;
    const auto found = arguments(*answer, 2); // the unlocked items, the locked ones
    co_return found && !qdbus_cast<QList<QDBusObjectPath>>(found->at(1)).isEmpty();
}

} // namespace tessary
