#include "platform/kdeconnect/KdeConnectSms.h"

#include "platform/kdeconnect/ConversationMessage.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QLoggingCategory>

namespace tessary {

namespace {

Q_LOGGING_CATEGORY(smsLog, TESSARY_APP_ID ".sms")

const QString service = QStringLiteral("org.kde.kdeconnect");
const QString daemonPath = QStringLiteral("/modules/kdeconnect");
const QString daemonInterface = QStringLiteral("org.kde.kdeconnect.daemon");
const QString deviceInterface = QStringLiteral("org.kde.kdeconnect.device");
const QString conversationsInterface = QStringLiteral("org.kde.kdeconnect.device.conversations");
constexpr qulonglong rereadLimit = 20; // the newest messages of a thread looked at after a load

QString devicePath(const QString& id)
{
    return daemonPath + QStringLiteral("/devices/") + id;
}

// A call that never starts the daemon through D-Bus activation: Tessary only reads a daemon the
// user runs.
QDBusMessage callOf(const QString& path, const QString& interface, const QString& method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setAutoStartService(false);
    return call;
}

QString deviceOf(const QDBusMessage& signal)
{
    return signal.path().section(QLatin1Char('/'), -1);
}

} // namespace

KdeConnectSms::KdeConnectSms(QDBusConnection bus, Clock& clock, QObject* parent, TimePoint keep)
    : SmsSource(parent)
    , m_bus(std::move(bus))
    , m_clock(clock)
    , m_inbox(keep)
    , m_watcher(new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this))
{
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &KdeConnectSms::serviceAppeared);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &KdeConnectSms::serviceVanished);
    for (const char* signal : {"deviceAdded", "deviceRemoved"})
        m_bus.connect(service, daemonPath, daemonInterface, QLatin1String(signal), this,
                      SLOT(onDevicesChanged(QDBusMessage)));
    m_bus.connect(service, daemonPath, daemonInterface, QStringLiteral("deviceVisibilityChanged"), this,
                  SLOT(onDevicesChanged(QDBusMessage)));
    // Whether the daemon runs now is learnt from the one call that lists its devices.
    listDevices();
}

QList<Message> KdeConnectSms::received(TimePoint since) const
{
    return m_inbox.since(since);
}

QList<KdeConnectSms::Phone> KdeConnectSms::phones() const
{
    QList<Phone> out;
    for (const QString& id : m_phoneIds)
        out.append(Phone{id, m_names.value(id, id)});
    return out;
}

void KdeConnectSms::serviceAppeared()
{
    listDevices();
}

void KdeConnectSms::serviceVanished()
{
    m_running = false;
    m_phoneIds.clear();
    emit phonesChanged();
}

void KdeConnectSms::onDevicesChanged(const QDBusMessage&)
{
    listDevices();
}

void KdeConnectSms::listDevices()
{
    QDBusMessage call = callOf(daemonPath, daemonInterface, QStringLiteral("devices"));
    call << true << true; // reachable, paired
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &KdeConnectSms::devicesListed);
}

void KdeConnectSms::devicesListed(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    const QDBusPendingReply<QStringList> reply = *call;
    m_known = true;
    m_running = !reply.isError();
    m_phoneIds = reply.isError() ? QStringList{} : reply.value();
    for (const QString& id : std::as_const(m_phoneIds)) {
        listenTo(id);
        readName(id);
    }
    emit phonesChanged();
}

// Signals are matched by the service's name, so they survive the daemon restarting.
void KdeConnectSms::listenTo(const QString& id)
{
    if (m_listening.contains(id))
        return;
    m_listening.insert(id);
    for (const char* signal : {"conversationCreated", "conversationUpdated"})
        m_bus.connect(service, devicePath(id), conversationsInterface, QLatin1String(signal), this,
                      SLOT(onConversation(QDBusMessage)));
    m_bus.connect(service, devicePath(id), conversationsInterface, QStringLiteral("conversationLoaded"), this,
                  SLOT(onConversationLoaded(QDBusMessage)));
}

void KdeConnectSms::readName(const QString& id)
{
    QDBusMessage call =
        callOf(devicePath(id), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << deviceInterface << QStringLiteral("name");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, id](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *done;
        if (!reply.isError()) {
            m_names.insert(id, reply.value().variant().toString());
            emit phonesChanged();
        }
        // After the name, so the messages read carry it.
        readActive(id);
    });
}

// The newest message of each thread the daemon holds: what arrived while nobody listened.
void KdeConnectSms::readActive(const QString& id)
{
    const QDBusMessage call =
        callOf(devicePath(id), conversationsInterface, QStringLiteral("activeConversations"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, id](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<QVariantList> reply = *done;
        if (reply.isError())
            return;
        for (const QVariant& each : reply.value())
            take(each, id);
    });
}

// The slots take the whole message: a slot with the signal's own arguments before it fails to connect.
void KdeConnectSms::onConversation(const QDBusMessage& signal)
{
    if (!signal.arguments().isEmpty())
        take(signal.arguments().constFirst(), deviceOf(signal));
}

// `message` is the struct, or a variant around it as a list of variants delivers it.
void KdeConnectSms::take(const QVariant& message, const QString& id)
{
    const QVariant value =
        message.userType() == qMetaTypeId<QDBusVariant>() ? message.value<QDBusVariant>().variant() : message;
    if (!value.canConvert<QDBusArgument>())
        return;
    const std::optional<SmsMessage> decoded =
        decodeConversationMessage(value.value<QDBusArgument>(), id, m_names.value(id, id));
    if (!decoded) {
        qCWarning(smsLog) << "a conversation message of an unknown shape was ignored";
        return;
    }
    if (m_inbox.add(*decoded, m_clock.now()))
        emit arrived();
}

// A message older than the newest of its thread raises no signal of its own, only the thread's
// load: the thread's newest messages are read again, once for each size it loads with.
void KdeConnectSms::onConversationLoaded(const QDBusMessage& signal)
{
    if (signal.arguments().size() < 2)
        return;
    const qlonglong threadId = signal.arguments().at(0).toLongLong();
    const qulonglong count = signal.arguments().at(1).toULongLong();
    if (m_reread.contains({threadId, count}))
        return;
    m_reread.insert({threadId, count});
    QDBusMessage call = callOf(signal.path(), conversationsInterface, QStringLiteral("requestConversation"));
    call << threadId << 0 << int(std::min(count, rereadLimit));
    m_bus.asyncCall(call);
}

} // namespace tessary
