#pragma once

#include "platform/kwin/KwinWindow.h"

#include <QDBusContext>
#include <QObject>
#include <QTemporaryFile>
#include <QTimer>

#include <optional>

class QDBusServiceWatcher;

namespace tessary {

// The window in front on KWin, learnt from a script of ours that KWin runs and that calls this
// object over the session bus on each activation, move and resize. KWin lets no other client ask.
// The script is loaded once (loading costs KWin a good tenth of a second), again whenever KWin
// comes back on the bus, and unloaded when this object goes; one of its name that a process of
// ours left behind before it died goes first. KWin's scripting comes on the bus a moment after its
// name: a load that fails is tried again a few times over two seconds. Until its first report,
// nothing is known to be in front; reports from any other caller than KWin are refused.
class KwinActiveWindow : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tessary.KWinWindows")
public:
    KwinActiveWindow();
    ~KwinActiveWindow() override;

    const std::optional<KwinWindow>& window() const { return m_window; }
    // Whether the script runs in KWin and has reported.
    bool reporting() const { return m_reporting; }

public slots:
    // Called by the script; an empty report means no window is in front.
    Q_SCRIPTABLE void activeWindowChanged(const QString& report);

private:
    void load();
    void attemptLoad();
    void loadScript();
    void run(int scriptId, bool pluginPath);

    QString m_pluginName;
    QString m_kwin; // KWin's unique name on the bus, once it loaded the script
    QTemporaryFile m_script;
    QDBusServiceWatcher* m_kwinWatcher = nullptr;
    QTimer m_retry;
    int m_attemptsLeft = 0;
    std::optional<KwinWindow> m_window;
    bool m_reporting = false;
};

} // namespace tessary
