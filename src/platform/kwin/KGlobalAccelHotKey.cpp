#include "platform/kwin/KGlobalAccelHotKey.h"

#include "common/Logging.h"
#include "hotkey/KeyCodes.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QRegularExpression>

#include <utility>

namespace tessary {

namespace {

const QString service = QStringLiteral("org.kde.kglobalaccel");
const QString action = QStringLiteral("fill-newest-code");
// setShortcut's flags: take the keys as the present ones, and not the ones the service saved
// for this action in an earlier session.
constexpr uint setPresent = 2;
constexpr uint noAutoloading = 4;

QDBusMessage serviceCall(const QString& method)
{
    return QDBusMessage::createMethodCall(service, QStringLiteral("/kglobalaccel"),
                                          QStringLiteral("org.kde.KGlobalAccel"), method);
}

// The service names a component's object after its unique name, with what a path cannot hold
// made "_".
QString componentPath(QString component)
{
    static const QRegularExpression outsidePath(QStringLiteral("[^A-Za-z0-9_]"));
    return QStringLiteral("/component/") + component.replace(outsidePath, QStringLiteral("_"));
}

// The combination as one Qt key number with its modifier bits; none for a key Qt has no number for.
std::optional<int> qtKeyCombination(const Shortcut& shortcut)
{
    const std::optional<int> key = qtKeyForShortcut(shortcut);
    if (!key)
        return std::nullopt;
    int combination = *key;
    if (shortcut.modifiers & modifier::shift)
        combination |= Qt::ShiftModifier;
    if (shortcut.modifiers & modifier::control)
        combination |= Qt::ControlModifier;
    if (shortcut.modifiers & modifier::option)
        combination |= Qt::AltModifier;
    if (shortcut.modifiers & modifier::command)
        combination |= Qt::MetaModifier;
    return combination;
}

} // namespace

KGlobalAccelHotKey::KGlobalAccelHotKey(const QString& applicationId)
    : m_component(applicationId)
{
    // Nothing here waits on the bus. Whether the service is there shows in its answer to the first
    // registration, so one that comes after us (KWin starting at login) is used. Its signals are
    // taken from any sender and checked against its owner here: naming the service to the bus
    // connection would have it ask the bus daemon for the owner, and wait.
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_connected = bus.isConnected();
    m_available = m_connected;
    if (!m_connected)
        return;
    qDBusRegisterMetaType<QList<int>>();
    auto* owner = new QDBusServiceWatcher(service, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { m_owner = newOwner; });
    const QString path = componentPath(m_component);
    const QString interface = QStringLiteral("org.kde.kglobalaccel.Component");
    bus.connect(QString(), path, interface, QStringLiteral("globalShortcutPressed"), this,
                SLOT(pressed(QString, QString, qlonglong, QDBusMessage)));
    bus.connect(QString(), path, interface, QStringLiteral("globalShortcutReleased"), this,
                SLOT(released(QString, QString, qlonglong, QDBusMessage)));
}

KGlobalAccelHotKey::~KGlobalAccelHotKey()
{
    if (!m_registered)
        return;
    release();
    // Going away, nothing is left to keep responsive: the release is seen through (the service
    // answers a ping only after the calls sent before it), so the keys are not kept for a program
    // that has ended.
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(service, QStringLiteral("/kglobalaccel"),
                                       QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
        QDBus::Block, 1000);
}

QStringList KGlobalAccelHotKey::actionId() const
{
    return {m_component, action, QStringLiteral("Tessary"), QStringLiteral("Fill newest code")};
}

QDBusPendingCall KGlobalAccelHotKey::setKeys(const QList<int>& keys)
{
    QDBusMessage call = serviceCall(QStringLiteral("setShortcut"));
    call << actionId() << QVariant::fromValue(keys) << (setPresent | noAutoloading);
    return QDBusConnection::sessionBus().asyncCall(call);
}

bool KGlobalAccelHotKey::registerShortcut(const std::optional<Shortcut>& shortcut)
{
    release();
    if (!shortcut)
        return true;
    const std::optional<int> combination = qtKeyCombination(*shortcut);
    if (!m_connected || !combination)
        return false;
    // Calls on one connection reach the service in the order sent, so these come after the last
    // release and the keys are asked for once the action exists; an action the service did not
    // register gets no keys.
    QDBusMessage registration = serviceCall(QStringLiteral("doRegister"));
    registration << actionId();
    QDBusConnection::sessionBus().send(registration);
    m_registered = true;
    m_shortcut = *shortcut;
    auto* answer = new QDBusPendingCallWatcher(setKeys({*combination}), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, answer, key = *combination, registration = ++m_registrations] {
                answer->deleteLater();
                if (registration != m_registrations || !m_registered)
                    return; // released or replaced meanwhile
                const QDBusPendingReply<QList<int>> given = *answer;
                if (given.isError())
                    qCWarning(logKwin, "the global shortcut service did not answer: %s",
                              qPrintable(given.error().message()));
                else
                    m_owner = given.reply().service();
                // No service, or one that fails, gives no keys: not a clash to look for.
                m_available = !given.isError();
                const bool granted = given.isValid() && given.value().contains(key);
                if (!granted)
                    release();
                answerLater(m_shortcut, granted);
            });
    return true;
}

void KGlobalAccelHotKey::release()
{
    m_held = false;
    if (!m_registered)
        return;
    m_registered = false;
    setKeys({});
    QDBusMessage unregister = serviceCall(QStringLiteral("unregister"));
    unregister << m_component << action;
    QDBusConnection::sessionBus().send(unregister);
}

void KGlobalAccelHotKey::pressed(const QString& component, const QString& pressedAction, qlonglong timestamp,
                                 const QDBusMessage& signal)
{
    Q_UNUSED(timestamp);
    // KWin repeats the press for as long as the keys are held; only the first one counts.
    if (m_registered && isOurs(component, pressedAction, signal) && !std::exchange(m_held, true))
        deliverPress();
}

void KGlobalAccelHotKey::released(const QString& component, const QString& releasedAction,
                                  qlonglong timestamp, const QDBusMessage& signal)
{
    Q_UNUSED(timestamp);
    if (isOurs(component, releasedAction, signal))
        m_held = false;
}

bool KGlobalAccelHotKey::isOurs(const QString& component, const QString& signalAction,
                                const QDBusMessage& signal) const
{
    return !m_owner.isEmpty() && signal.service() == m_owner && component == m_component &&
           signalAction == action;
}

} // namespace tessary
