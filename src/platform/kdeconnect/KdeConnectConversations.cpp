#include "platform/kdeconnect/KdeConnectConversations.h"

#include "platform/kdeconnect/ConversationMessage.h"
#include "platform/kdeconnect/KdeConnectBus.h"

#include <QDBusArgument>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QLoggingCategory>

namespace tessary {

using namespace kdeconnect;

namespace {

Q_LOGGING_CATEGORY(smsLog, TESSARY_APP_ID ".sms")

const QString conversationsInterface = QStringLiteral("org.kde.kdeconnect.device.conversations");
constexpr qulonglong rereadLimit = 20; // the newest messages of a thread looked at after a load

} // namespace

KdeConnectConversations::KdeConnectConversations(QDBusConnection bus, const KdeConnectDevices& devices,
                                                 QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_devices(devices)
{
}

void KdeConnectConversations::follow(const QString& id)
{
    // Signals are matched by no sender and checked against the daemon's owner, so they survive the
    // daemon restarting.
    if (!m_listening.contains(id)) {
        m_listening.insert(id);
        for (const char* signal : {"conversationCreated", "conversationUpdated"})
            m_bus.connect(QString(), devicePath(id), conversationsInterface, QLatin1String(signal), this,
                          SLOT(onConversation(QDBusMessage)));
        m_bus.connect(QString(), devicePath(id), conversationsInterface, QStringLiteral("conversationLoaded"),
                      this, SLOT(onConversationLoaded(QDBusMessage)));
    }
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
    m_bus.asyncCall(
        callOf(devicePath(id), conversationsInterface, QStringLiteral("requestAllConversationThreads")));
}

// The slots take the whole message: a slot with the signal's own arguments before it fails to connect.
void KdeConnectConversations::onConversation(const QDBusMessage& signal)
{
    if (m_devices.isDaemon(signal) && !signal.arguments().isEmpty())
        take(signal.arguments().constFirst(), deviceOf(signal));
}

// `message` is the struct, or a variant around it as a list of variants delivers it.
void KdeConnectConversations::take(const QVariant& message, const QString& id)
{
    const QVariant value =
        message.userType() == qMetaTypeId<QDBusVariant>() ? message.value<QDBusVariant>().variant() : message;
    if (!value.canConvert<QDBusArgument>())
        return;
    const std::optional<SmsMessage> decoded = decodeConversationMessage(value.value<QDBusArgument>(), id, id);
    if (!decoded) {
        qCWarning(smsLog) << "a conversation message of an unknown shape was ignored";
        return;
    }
    emit relayed(*decoded);
}

// A message older than the newest of its thread raises no signal of its own, only the thread's
// load: the thread's newest messages are read again, once for each size it loads with. Thread
// numbers are the phone's own: two phones have threads of the same number.
void KdeConnectConversations::onConversationLoaded(const QDBusMessage& signal)
{
    if (!m_devices.isDaemon(signal) || signal.arguments().size() < 2)
        return;
    const qlonglong threadId = signal.arguments().at(0).toLongLong();
    const qulonglong count = signal.arguments().at(1).toULongLong();
    const QString thread = QStringLiteral("%1/%2/%3").arg(deviceOf(signal)).arg(threadId).arg(count);
    if (m_reread.contains(thread))
        return;
    m_reread.insert(thread);
    QDBusMessage call = callOf(signal.path(), conversationsInterface, QStringLiteral("requestConversation"));
    call << threadId << 0 << int(std::min(count, rereadLimit));
    m_bus.asyncCall(call);
}

} // namespace tessary
