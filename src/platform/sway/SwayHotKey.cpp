#include "platform/sway/SwayHotKey.h"

#include "common/AppIdentity.h"
#include "platform/sway/SwayBindings.h"
#include "platform/sway/SwayEvents.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include <wordexp.h>

namespace tessary {

namespace {

// IPC message types of sway (the i3 numbering).
constexpr quint32 runCommandMessage = 0;
constexpr quint32 getVersionMessage = 7;
constexpr quint32 getConfigMessage = 9;

const QString objectPath = QStringLiteral("/com/tessary/HotKey");
const QString interfaceName = QStringLiteral("com.tessary.HotKey");
// By the key rather than its letter: sway binds the key that gives the letter in the first layout,
// so the combination works whichever layout is in effect, Russian say, where that key gives
// another letter (a letter the first layout lacks stays bound as a letter). A binding is removed
// with the flags it was made with, or sway looks for it among the wrong kind.
const QString bindFlags = QStringLiteral("--to-code --no-repeat");

// "com.tessary.Tessary.HotKey." for the release and the developer build alike.
QString busPrefix(QString applicationId)
{
    if (isDevBuild(applicationId))
        applicationId.chop(developerIdSuffix.size());
    return applicationId + QStringLiteral(".HotKey.");
}

// The folder of the config sway loaded, which include lines name files relative to. sway's IPC
// does not say which file that was: the first one sway itself looks for.
QString configFolder()
{
    const QString home = QDir::homePath();
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    for (const QString& path : {home + QStringLiteral("/.sway/config"), xdg + QStringLiteral("/sway/config"),
                                home + QStringLiteral("/.i3/config"), xdg + QStringLiteral("/i3/config"),
                                QStringLiteral("/etc/sway/config"), QStringLiteral("/etc/i3/config")})
        if (QFileInfo::exists(path))
            return QFileInfo(path).absolutePath();
    return {};
}

// The files an include line names, expanded the way sway expands them ("~", environment
// variables, globs), except that nothing in a config is run here.
QList<swaybind::IncludedFile> readIncluded(const QString& pattern, const QString& folder)
{
    QString words = pattern;
    if (!folder.isEmpty() && !pattern.startsWith(QLatin1Char('/')) && !pattern.startsWith(QLatin1Char('~')) &&
        !pattern.startsWith(QLatin1Char('$'))) {
        QString quotedFolder = folder;
        quotedFolder.replace(QLatin1Char('\''), QLatin1String("'\\''"));
        words = QLatin1Char('\'') + quotedFolder + QLatin1String("'/") + pattern;
    }
    QList<swaybind::IncludedFile> files;
    wordexp_t expansion{};
    if (wordexp(words.toLocal8Bit().constData(), &expansion, WRDE_NOCMD) != 0)
        return files;
    for (size_t i = 0; i < expansion.we_wordc; ++i) {
        QFile file(QString::fromLocal8Bit(expansion.we_wordv[i]));
        if (file.open(QIODevice::ReadOnly))
            files.append({QFileInfo(file).canonicalFilePath(), QString::fromUtf8(file.readAll())});
    }
    wordfree(&expansion);
    return files;
}

} // namespace

SwayHotKey::SwayHotKey(const QString& swaySocket, const QString& applicationId)
    : m_socketPath(swaySocket)
    , m_ipc(swaySocket)
    , m_busPrefix(busPrefix(applicationId))
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_objectRegistered =
        bus.isConnected() && bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
    // Without the bus no binding could reach this process; without sway there is nothing to bind.
    m_available = m_objectRegistered && bool(m_ipc.request(getVersionMessage, {}));
}

SwayHotKey::~SwayHotKey()
{
    release();
    if (m_objectRegistered)
        QDBusConnection::sessionBus().unregisterObject(objectPath);
}

bool SwayHotKey::registerShortcut(const std::optional<Shortcut>& shortcut)
{
    release();
    if (!shortcut)
        return true;
    if (!m_available)
        return false;
    const std::optional<QString> combo = swaybind::comboText(*shortcut);
    if (!combo || clashesWithConfig(*combo))
        return false;
    // Owning the name is what tells another Tessary, a developer build say, that the
    // combination is taken; sway would let the second binding replace the first.
    Binding binding{*combo, m_busPrefix + swaybind::busNameElement(*combo)};
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerService(binding.busName))
        return false;
    if (!bind(binding.combo, binding.busName)) {
        bus.unregisterService(binding.busName);
        return false;
    }
    m_binding = std::move(binding);
    m_events = std::make_unique<SwayEvents>(m_socketPath, QStringList{QStringLiteral("workspace")});
    QObject::connect(m_events.get(), &SwayEvents::event, this, [this](quint32 type, const QJsonObject& body) {
        if (type == SwayEvents::workspaceEvent &&
            body.value(QLatin1String("change")) == QLatin1String("reload"))
            bindAgainAfterReload();
    });
    return true;
}

bool SwayHotKey::bind(const QString& combo, const QString& busName) const
{
    return runCommand(QStringLiteral("bindsym %1 %2 exec dbus-send --session --type=method_call --dest=%3 %4 "
                                     "%5.Press")
                          .arg(bindFlags, combo, busName, objectPath, interfaceName));
}

void SwayHotKey::bindAgainAfterReload()
{
    if (!m_binding)
        return;
    // The user's config now has the combination: theirs wins, and this one is given up, as
    // binding it would replace theirs.
    if (clashesWithConfig(m_binding->combo) || !bind(m_binding->combo, m_binding->busName)) {
        // The event stream stays: this runs inside its signal, and with no binding it does nothing.
        QDBusConnection::sessionBus().unregisterService(m_binding->busName);
        m_binding.reset();
    }
}

void SwayHotKey::release()
{
    m_events.reset();
    if (!m_binding)
        return;
    // A sway restarted meanwhile has forgotten the binding; then there is nothing to remove.
    runCommand(QStringLiteral("unbindsym %1 %2").arg(bindFlags, m_binding->combo));
    QDBusConnection::sessionBus().unregisterService(m_binding->busName);
    m_binding.reset();
}

void SwayHotKey::Press()
{
    if (m_binding)
        deliverPress();
}

bool SwayHotKey::clashesWithConfig(const QString& combo) const
{
    const std::optional<swaybind::Combo> wanted = swaybind::parseCombo(combo);
    auto reply = m_ipc.request(getConfigMessage, {});
    // Unable to read the config, the binding might replace one of the user's: count it a clash.
    if (!wanted || !reply)
        return true;
    const QString config = QJsonDocument::fromJson(*reply).object().value(QLatin1String("config")).toString();
    // sway hands over the text of its main config file only; the files it includes hold
    // bindings too, and are read here.
    return swaybind::configBindings(config, readIncluded, configFolder()).contains(*wanted);
}

bool SwayHotKey::runCommand(const QString& command) const
{
    auto reply = m_ipc.request(runCommandMessage, command.toUtf8());
    if (!reply)
        return false;
    // One result per command in the message, each with its own success.
    const QJsonArray results = QJsonDocument::fromJson(*reply).array();
    return !results.isEmpty() && std::all_of(results.begin(), results.end(), [](const QJsonValue& result) {
        return result.toObject().value(QLatin1String("success")).toBool();
    });
}

} // namespace tessary
