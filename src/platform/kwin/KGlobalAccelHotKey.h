#pragma once

#include "hotkey/HotKey.h"

#include <QDBusPendingCall>
#include <QList>
#include <QObject>
#include <QStringList>

namespace tessary {

// The fill shortcut through KDE's global shortcut service (kglobalaccel, which runs inside KWin on
// Plasma under Wayland): the action is registered under our application id, the service is asked
// to give it the combination, and a press arrives as a signal of our component. The service
// answers with the keys it really gave: a combination another action holds is left out, which is
// how a clash shows. Nothing waits for it: the answer comes to the answer handler.
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
    void pressed(const QString& component, const QString& action, qlonglong timestamp);
    void released(const QString& component, const QString& action, qlonglong timestamp);

private:
    // The action as the service names it: component, action, and their names for its settings.
    QStringList actionId() const;
    // Asks for the action to have these keys; the answer is the keys the service really gave. A
    // service that does not answer is taken to give none.
    QDBusPendingCall setKeys(const QList<int>& keys);

    QString m_component;
    bool m_available = false;
    bool m_registered = false;
    Shortcut m_shortcut;         // the registered combination
    quint64 m_registrations = 0; // registrations made, so only the newest one's answer counts
    bool m_held = false;         // pressed and not yet released
};

} // namespace tessary
