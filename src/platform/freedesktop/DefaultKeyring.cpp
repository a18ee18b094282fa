#include "platform/freedesktop/DefaultKeyring.h"

#include <QCoro/QCoroSignal>
#include <QDBusArgument>
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

// One call's reply arguments, `count` of them; nothing for an error, no reply in time, or another
// shape.
QCoro::Task<std::optional<QVariantList>> answers(QDBusConnection bus, QDBusMessage call,
                                                 std::chrono::milliseconds timeout, int count)
{
    const auto watcher = std::make_unique<QDBusPendingCallWatcher>(bus.asyncCall(call, int(timeout.count())));
    if (!watcher->isFinished())
        co_await qCoro(watcher.get(), &QDBusPendingCallWatcher::finished, timeout);
    const QDBusMessage reply = watcher->reply();
    if (!watcher->isFinished() || reply.type() != QDBusMessage::ReplyMessage ||
        reply.arguments().size() != count)
        co_return std::nullopt;
    co_return reply.arguments();
}

QCoro::Task<std::optional<QVariant>> answer(QDBusConnection bus, QDBusMessage call,
                                            std::chrono::milliseconds timeout)
{
    const auto reply = co_await answers(std::move(bus), std::move(call), timeout, 1);
    co_return reply ? std::optional<QVariant>(reply->constFirst()) : std::nullopt;
}

} // namespace

QCoro::Task<DefaultKeyring> defaultKeyring(QDBusConnection bus, std::chrono::milliseconds timeout)
{
    QDBusMessage readAlias = QDBusMessage::createMethodCall(
        secretsService, QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("ReadAlias"));
    readAlias << QStringLiteral("default");
    const std::optional<QVariant> alias = co_await answer(bus, readAlias, timeout);
    // "/" is the service's way of saying that no collection has the alias.
    const QString path = alias ? qvariant_cast<QDBusObjectPath>(*alias).path() : QString();
    if (path.isEmpty() || path == QLatin1String("/"))
        co_return DefaultKeyring::unusable;

    QDBusMessage readLocked = QDBusMessage::createMethodCall(
        secretsService, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    readLocked << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
    const std::optional<QVariant> locked = co_await answer(bus, readLocked, timeout);
    const QVariant value = locked ? qvariant_cast<QDBusVariant>(*locked).variant() : QVariant();
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
    const auto found = co_await answers(bus, search, timeout, 2); // the unlocked items, the locked ones
    co_return found && !qdbus_cast<QList<QDBusObjectPath>>(found->at(1)).isEmpty();
}

} // namespace tessary
