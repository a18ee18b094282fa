#pragma once

#include <QObject>

#include <functional>

namespace tessary {

// One Tessary per user session: the first launch owns the session-bus name that is the
// application id; a later launch asks it to reopen and leaves. Without a session bus every launch
// runs on its own.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tessary.App")
public:
    enum class Claim { first, handedOver, noBus };

    explicit SingleInstance(QString busName, QObject* parent = nullptr);
    // Takes the name, or hands over to the process that holds it. `decided` runs once, possibly
    // before this returns; handing over waits for the other process from the event loop.
    void claim(std::function<void(Claim)> decided);

signals:
    // A later launch asked this one to come forward.
    void reopenRequested();

public slots:
    Q_SCRIPTABLE void reopen();

private:
    QString m_busName;
};

} // namespace tessary
