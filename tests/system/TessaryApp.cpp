#include "system/TessaryApp.h"

#include "backend/Backend.h"
#include "common/AppIdentity.h"
#include "desktop/screen/DesktopDriver.h"
#include "platform/freedesktop/SecretServiceStore.h"
#include "server/DovecotServer.h"
#include "state/ShortcutSetting.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QDir>
#include <QSettings>
#include <QUuid>

namespace tessary::test {

namespace {

constexpr int treeBudget = 600;

QString dataFolder(const QString& home)
{
    return home + "/.local/share";
}

QString settingsFile(const QString& home)
{
    return home + "/.config/tessary/" + applicationId() + ".conf";
}

} // namespace

TessaryApp::TessaryApp(const DovecotServer& dovecot)
{
    for (const char* folder : {".config", ".local/share", ".local/state", ".cache"})
        QDir(m_home.path()).mkpath(QString::fromLatin1(folder));
    // The keyring is the session's, not the home folder's: a token left there by an earlier
    // run would belong to a backend that no longer exists.
    SecretServiceStore keyring(applicationId());
    QCoro::waitFor(keyring.keychainDelete(Backend::installTokenKey));
    dovecot.configureBackend(dataFolder(m_home.path()) + "/tessary/backend");
    m_process.setProcessEnvironment(environment());
}

TessaryApp::~TessaryApp()
{
    stopChild(m_process);
}

QProcessEnvironment TessaryApp::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", m_home.path());
    environment.insert("XDG_CONFIG_HOME", m_home.path() + "/.config");
    environment.insert("XDG_DATA_HOME", dataFolder(m_home.path()));
    environment.insert("XDG_STATE_HOME", m_home.path() + "/.local/state");
    environment.insert("XDG_CACHE_HOME", m_home.path() + "/.cache");
    // Wall-clock times on every line, so a benchmark can set them beside its own.
    environment.insert("QT_MESSAGE_PATTERN", "%{time yyyy-MM-ddTHH:mm:ss.zzz} %{category}: %{message}");
    return environment;
}

void TessaryApp::setSetting(const QString& key, const QVariant& value)
{
    QSettings(settingsFile(m_home.path()), QSettings::IniFormat).setValue(key, value);
}

QVariant TessaryApp::setting(const QString& key) const
{
    return QSettings(settingsFile(m_home.path()), QSettings::IniFormat).value(key);
}

bool TessaryApp::finishSetup(const QString& user)
{
    QProcess inspect;
    inspect.setProcessEnvironment(environment());
    inspect.start(QStringLiteral(TESSARY_INSPECT), {"imap", user, DovecotServer::hostName});
    inspect.write(DovecotServer::password.toUtf8() + '\n');
    inspect.closeWriteChannel();
    if (!inspect.waitForFinished(30000) || inspect.exitCode() != 0) {
        m_lines.append(QString::fromUtf8(inspect.readAllStandardError()));
        return false;
    }
    setSetting(settingKey::email, user);
    setSetting(settingKey::onboarded, true);
    return true;
}

bool TessaryApp::start(const QStringList& environmentEntries)
{
    QProcessEnvironment environment = m_process.processEnvironment();
    for (const QString& entry : environmentEntries)
        environment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    m_process.setProcessEnvironment(environment);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(QStringLiteral(TESSARY_APP), {});
    m_process.setReadChannel(QProcess::StandardError);
    return m_process.waitForStarted(10000);
}

void TessaryApp::readLines()
{
    while (m_process.canReadLine())
        m_lines.append(QString::fromUtf8(m_process.readLine()).trimmed());
}

std::optional<QString> TessaryApp::waitForLine(const QString& text, std::chrono::milliseconds timeout)
{
    std::optional<QString> found;
    waitUntil(
        [&] {
            readLines();
            for (; !found && m_seen < m_lines.size(); ++m_seen)
                if (m_lines.at(m_seen).contains(text))
                    found = m_lines.at(m_seen);
            return found.has_value() || !running();
        },
        timeout);
    return found;
}

std::string TessaryApp::log()
{
    readLines();
    return (m_lines.join(QLatin1Char('\n')) + (running() ? QString() : "\n(not running)")).toStdString();
}

QList<Element> TessaryApp::shown(Accessibility& accessibility)
{
    // Qt keeps hidden widgets (other onboarding steps, a closed popover) in the tree, without a
    // frame: what has none is passed over with everything inside it.
    QList<Element> shown;
    QList<Element> queue;
    if (const std::optional<Element> application = accessibility.applicationElement(pid()))
        queue = accessibility.children(*application);
    while (!queue.isEmpty() && shown.size() < treeBudget) {
        const Element element = queue.takeFirst();
        if (!accessibility.screenFrame(element))
            continue;
        shown.append(element);
        queue.append(accessibility.children(element));
    }
    return shown;
}

QStringList TessaryApp::texts(Accessibility& accessibility)
{
    QStringList texts;
    for (const Element& element : shown(accessibility))
        for (auto read : {&ElementTree::name, &ElementTree::text, &ElementTree::description})
            if (auto text = (accessibility.*read)(element))
                texts.append(*text);
    return texts;
}

std::optional<Element> TessaryApp::find(Accessibility& accessibility, const QString& name,
                                        std::optional<Role> role)
{
    for (const Element& element : shown(accessibility))
        if (accessibility.name(element) == name && (!role || accessibility.role(element) == *role))
            return element;
    return std::nullopt;
}

bool TessaryApp::click(Accessibility& accessibility, const QString& name, std::optional<Role> role)
{
    const std::optional<Element> element = find(accessibility, name, role);
    const std::optional<Rect> frame = element ? accessibility.screenFrame(*element) : std::nullopt;
    return frame && clickAt(*frame);
}

QByteArray mailFrom(const QString& sender, const QString& subject, const QString& body)
{
    return "From: " + sender.toUtf8() + "\r\nTo: you@test.example\r\nSubject: " + subject.toUtf8() +
           "\r\nDate: " + QDateTime::currentDateTimeUtc().toString(Qt::RFC2822Date).toUtf8() +
           "\r\nMessage-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) +
           "@test.example>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" +
           body.toUtf8() + "\r\n";
}

QByteArray linkMailFrom(const QString& sender, const QString& subject, const QString& url,
                        const QString& linkText)
{
    QByteArray mail =
        mailFrom(sender, subject,
                 QStringLiteral("<html><body><p>Sign in with the link below.</p><p><a href=\"%1\">%2</a>"
                                "</p></body></html>")
                     .arg(url, linkText));
    return mail.replace("text/plain", "text/html");
}

} // namespace tessary::test
