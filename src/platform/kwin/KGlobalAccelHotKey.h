#pragma once

#include "hotkey/HotKey.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QList>
#include <QObject>
#include <QStringList>

namespace tessary {

// The fill shortcut through KDE's global shortcut service (kglobalaccel, which runs inside KWin on
// Plasma under Wayland): the action is registered under our application id, the service is asked
// to give it the combination, and a press arrives as a signal of our component. The service
// answers with the keys it really gave: a combination another action holds is left out, which is
// how a clash shows. Nothing waits for it, not even to learn whether it is there: the answer
// comes to the answer handler, and an error in its place means the session offers no global keys.
class KGlobalAccelHotKey : public QObject, public HotKey {
    Q_OBJECT
public:
    explicit KGlobalAccelHotKey(const QString& applicationId);
    ~KGlobalAccelHotKey() override;

    bool registerShortcut(const std::optional<Shortcut>& shortcut) override;
    void release() override;
    bool globalKeysAvailable() const override { return m_available; }
    bool answersLate() const override { return true; }

private slots:
    void pressed(const QString& component, const QString& action, qlonglong timestamp,
                 const QDBusMessage& signal);
    void released(const QString& component, const QString& action, qlonglong timestamp,
                  const QDBusMessage& signal);

private:
    // The action as the service names it: component, action, and their names for its settings.
    QStringList actionId() const;
    // Whether a signal is the service's, about our action.
    bool isOurs(const QString& component, const QString& signalAction, const QDBusMessage& signal) const;
    // Asks for the action to have these keys; the answer is the keys the service really gave. A
    // service that does not answer is taken to give none.
    QDBusPendingCall setKeys(const QList<int>& keys);

    QString m_component;
    bool m_connected = false; // to the session bus
    bool m_available = false; // as the service's last answer showed
    QString m_owner;          // the service's unique name on the bus, once known
    bool m_registered = false;
    Shortcut m_shortcut;         // the registered combination
    quint64 m_registrations = 0; // registrations made, so only the newest one's answer counts
    bool m_held = false;         // pressed and not yet released
};

} // namespace tessary
