#include "platform/kwin/KwinActiveWindow.h"

#include "common/Logging.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>

namespace tessary {

namespace {

const QString kwinService = QStringLiteral("org.kde.KWin");
const QString scriptingPath = QStringLiteral("/Scripting");
const QString scriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
const QString objectPath = QStringLiteral("/com/tessary/KWinWindows");
constexpr int loadAttempts = 5;
constexpr std::chrono::milliseconds loadRetryDelay{500};

QDBusMessage scriptingCall(const QString& method)
{
    return QDBusMessage::createMethodCall(kwinService, scriptingPath, scriptingInterface, method);
}

} // namespace

KwinActiveWindow::KwinActiveWindow()
    : m_pluginName(QStringLiteral("tessary-active-window-%1").arg(QCoreApplication::applicationPid()))
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots)) {
        qCWarning(logKwin, "no session bus for KWin's window reports: the window in front stays unknown");
        return;
    }
    QFile source(QStringLiteral(":/kwin/active-window.js"));
    QByteArray text = source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
    text.replace("@SERVICE@", bus.baseService().toUtf8()).replace("@PATH@", objectPath.toUtf8());
    m_script.setFileTemplate(QDir::tempPath() + QStringLiteral("/tessary-kwin-XXXXXX.js"));
    if (text.isEmpty() || !m_script.open() || m_script.write(text) != text.size() || !m_script.flush()) {
        qCWarning(logKwin, "could not write the KWin script: the window in front stays unknown");
        return;
    }
    // A KWin that restarts (after a crash, or `kwin_wayland --replace`) has forgotten the script.
    m_kwinWatcher =
        new QDBusServiceWatcher(kwinService, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(m_kwinWatcher, &QDBusServiceWatcher::serviceRegistered, this, &KwinActiveWindow::load);
    m_retry.setSingleShot(true);
    m_retry.setInterval(loadRetryDelay);
    connect(&m_retry, &QTimer::timeout, this, &KwinActiveWindow::attemptLoad);
    load();
}

KwinActiveWindow::~KwinActiveWindow()
{
    if (!m_kwinWatcher)
        return;
    // Blocking, briefly: a script left behind would call a process that is gone on every activation.
    QDBusMessage unload = scriptingCall(QStringLiteral("unloadScript"));
    unload << m_pluginName;
    QDBusConnection::sessionBus().call(unload, QDBus::Block, 500);
}

void KwinActiveWindow::load()
{
    m_reporting = false;
    m_window.reset();
    m_kwin.clear();
    m_attemptsLeft = loadAttempts;
    m_retry.stop();
    attemptLoad();
}

void KwinActiveWindow::attemptLoad()
{
    --m_attemptsLeft;
    // A process of ours that died with this pid left its script loaded under this name, and KWin
    // refuses a name in use. KWin lets go of a script it unloads once back in its event loop: ours
    // is loaded after its answer.
    QDBusMessage unload = scriptingCall(QStringLiteral("unloadScript"));
    unload << m_pluginName;
    auto* unloading = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(unload), this);
    connect(unloading, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        loadScript();
    });
}

void KwinActiveWindow::loadScript()
{
    QDBusMessage call = scriptingCall(QStringLiteral("loadScript"));
    call << m_script.fileName() << m_pluginName;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<int> reply = *finished;
        if (reply.isError() || reply.value() < 0) {
            if (m_attemptsLeft > 0)
                return m_retry.start();
            qCWarning(logKwin, "KWin did not load our script (%s): the window in front stays unknown",
                      qPrintable(reply.isError() ? reply.error().message() : QStringLiteral("name in use")));
            return;
        }
        m_kwin = reply.reply().service();
        run(reply.value(), false);
    });
}

void KwinActiveWindow::run(int scriptId, bool pluginPath)
{
    // KWin 5 puts a loaded script at /<id>, Plasma 6 at /Scripting/Script<id>.
    const QString path = pluginPath ? QStringLiteral("/Scripting/Script%1").arg(scriptId)
                                    : QStringLiteral("/%1").arg(scriptId);
    const QDBusMessage call = QDBusMessage::createMethodCall(
        kwinService, path, QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"));
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, scriptId, pluginPath](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (!finished->isError())
                    return;
                if (!pluginPath)
                    return run(scriptId, true);
                qCWarning(logKwin, "KWin did not run our script (%s): the window in front stays unknown",
                          qPrintable(finished->error().message()));
            });
}

void KwinActiveWindow::activeWindowChanged(const QString& report)
{
    // Any process on the bus can call here; only our script in KWin knows what is in front.
    if (m_kwin.isEmpty() || message().service() != m_kwin)
        return sendErrorReply(QDBusError::AccessDenied,
                              QStringLiteral("only KWin reports the window in front"));
    m_window = parseKwinWindow(report);
    m_reporting = true;
}

} // namespace tessary
