#include "platform/freedesktop/SingleInstance.h"

#include "common/Logging.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>

namespace tessary {

namespace {

const QString objectPath = QStringLiteral("/");
const QString interfaceName = QStringLiteral("com.tessary.App");

} // namespace

SingleInstance::SingleInstance(QString busName, QObject* parent)
    : QObject(parent)
    , m_busName(std::move(busName))
{
}

SingleInstance::Claim SingleInstance::claim()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return Claim::noBus;
    // The object is there before the name, so a launch that finds the name can call it at once.
    bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
    if (bus.registerService(m_busName))
        return Claim::first;
    bus.unregisterObject(objectPath);
    const QDBusMessage call =
        QDBusMessage::createMethodCall(m_busName, objectPath, interfaceName, QStringLiteral("reopen"));
    const QDBusMessage answer = bus.call(call, QDBus::Block, 5000);
    if (answer.type() == QDBusMessage::ErrorMessage)
        qCWarning(logDesktop).noquote() << "the running instance did not answer:" << answer.errorMessage();
    // The other process may be quitting and gone now: then this one carries on as the first.
    if (answer.type() == QDBusMessage::ErrorMessage && bus.registerService(m_busName)) {
        bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
        return Claim::first;
    }
    return Claim::handedOver;
}

void SingleInstance::reopen()
{
    // Answer the caller first; the windows open from the event loop.
    QTimer::singleShot(0, this, &SingleInstance::reopenRequested);
}

} // namespace tessary
