#include "platform/freedesktop/SingleInstance.h"

#include "common/Logging.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
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

void SingleInstance::claim(std::function<void(Claim)> decided)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        decided(Claim::noBus);
        return;
    }
    // The object is there before the name, so a launch that finds the name can call it at once.
    bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
    if (bus.registerService(m_busName)) {
        decided(Claim::first);
        return;
    }
    bus.unregisterObject(objectPath);
    const QDBusMessage call =
        QDBusMessage::createMethodCall(m_busName, objectPath, interfaceName, QStringLiteral("reopen"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, decided = std::move(decided)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusMessage answer = finished->reply();
                if (answer.type() != QDBusMessage::ErrorMessage) {
                    decided(Claim::handedOver);
                    return;
                }
                qCWarning(logDesktop).noquote()
                    << "the running instance did not answer:" << answer.errorMessage();
                // The other process may be quitting and gone now: then this one carries on as the first.
                QDBusConnection session = QDBusConnection::sessionBus();
                if (!session.registerService(m_busName)) {
                    decided(Claim::handedOver);
                    return;
                }
                session.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
                decided(Claim::first);
            });
}

void SingleInstance::reopen()
{
    // Answer the caller first; the windows open from the event loop.
    QTimer::singleShot(0, this, &SingleInstance::reopenRequested);
}

} // namespace tessary
