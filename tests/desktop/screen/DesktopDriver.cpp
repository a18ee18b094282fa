#include "desktop/screen/DesktopDriver.h"

#include "platform/session/DesktopSession.h"
#include "screen/TreeWalk.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <vector>

#include <unistd.h>

namespace tessary::test {

using namespace std::chrono_literals;

std::optional<QByteArray> output(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return process.readAllStandardOutput();
    process.kill();
    process.waitForFinished(1000);
    return std::nullopt;
}

bool run(const QString& program, const QStringList& arguments)
{
    return output(program, arguments).has_value();
}

QJsonDocument jsonOutput(const QString& program, const QStringList& arguments)
{
    return QJsonDocument::fromJson(output(program, arguments).value_or(QByteArray()));
}

bool onGnome()
{
    return DesktopSession::current() == DesktopSession::Kind::gnome;
}

bool onWaylandRig()
{
    return DesktopSession::isWayland(DesktopSession::current());
}

bool clickAt(const Rect& frame)
{
    return desktopRig().click(frame.x + frame.width / 2, frame.y + frame.height / 2);
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

void settle(std::chrono::milliseconds duration)
{
    waitUntil([] { return false; }, duration);
}

void stopChild(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

std::optional<QJsonObject> waitForLine(QProcess& process,
                                       const std::function<bool(const QJsonObject&)>& matches,
                                       QStringList& seen, std::chrono::milliseconds timeout)
{
    std::optional<QJsonObject> found;
    waitUntil(
        [&] {
            while (!found && process.canReadLine()) {
                const QByteArray line = process.readLine().trimmed();
                seen.append(QString::fromUtf8(line));
                if (const QJsonObject object = QJsonDocument::fromJson(line).object(); matches(object))
                    found = object;
            }
            return found.has_value();
        },
        timeout);
    return found;
}

void unlockKeyring()
{
    run(QStringLiteral("sh"), {"-c", "printf test | gnome-keyring-daemon --unlock --components=secrets"});
}

std::optional<QRect> changedArea(const QImage& before, const QImage& after, int least)
{
    if (before.isNull() || before.size() != after.size())
        return std::nullopt;
    const QImage first = before.convertToFormat(QImage::Format_RGB32);
    const QImage second = after.convertToFormat(QImage::Format_RGB32);
    const int width = first.width();
    const int height = first.height();
    std::vector<bool> changed(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(first.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(second.constScanLine(y));
        for (int x = 0; x < width; ++x)
            changed[std::size_t(y) * std::size_t(width) + std::size_t(x)] = a[x] != b[x];
    }
    // Each group is gathered from its first pixel through its neighbours, diagonal ones too: the
    // chip's rounded corners touch only diagonally.
    std::optional<QRect> largest;
    std::size_t largestCount = 0;
    std::vector<QPoint> pending;
    for (std::size_t start = 0; start < changed.size(); ++start) {
        if (!changed[start])
            continue;
        changed[start] = false;
        pending.push_back(QPoint(int(start % std::size_t(width)), int(start / std::size_t(width))));
        QRect box(pending.back(), QSize(1, 1));
        std::size_t count = 0;
        while (!pending.empty()) {
            const QPoint at = pending.back();
            pending.pop_back();
            ++count;
            box |= QRect(at, QSize(1, 1));
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const QPoint next = at + QPoint(dx, dy);
                    if (next.x() < 0 || next.y() < 0 || next.x() >= width || next.y() >= height)
                        continue;
                    const std::size_t index =
                        std::size_t(next.y()) * std::size_t(width) + std::size_t(next.x());
                    if (changed[index]) {
                        changed[index] = false;
                        pending.push_back(next);
                    }
                }
        }
        if (box.width() >= least && box.height() >= least && count > largestCount) {
            largest = box;
            largestCount = count;
        }
    }
    return largest;
}

std::optional<Element> findElement(ElementTree& tree, const Element& root, TextRead read,
                                   const QString& value)
{
    std::optional<Element> found;
    walkBreadthFirst(tree, root, 4000, [&](const Element& element) {
        if ((tree.*read)(element) != value)
            return WalkStep::goOn;
        found = element;
        return WalkStep::stop;
    });
    return found;
}

std::optional<Element> namedElement(Accessibility& accessibility, qint64 pid, const QString& name)
{
    const std::optional<Element> application = accessibility.applicationElement(pid);
    return application ? findElement(accessibility, *application, &ElementTree::name, name) : std::nullopt;
}

bool clickNamed(Accessibility& accessibility, qint64 pid, const QString& name)
{
    const std::optional<Element> element = namedElement(accessibility, pid, name);
    const std::optional<Rect> frame = element ? accessibility.screenFrame(*element) : std::nullopt;
    return frame && clickAt(*frame);
}

bool clickChipButton(Accessibility& accessibility, qint64 pid, const QString& name, QPoint chip)
{
    return onWaylandRig() ? clickAt(Rect{chip.x() + 10, chip.y() + 10, 10, 10})
                          : clickNamed(accessibility, pid, name);
}

std::optional<Element> pageShowing(Accessibility& accessibility, qint64 pid, const QString& url)
{
    const std::optional<RunningApplication> front = accessibility.frontmostApplication();
    const std::optional<Element> application =
        front && front->pid == pid ? accessibility.applicationElement(pid) : std::nullopt;
    const std::optional<Element> window =
        application ? accessibility.focusedWindow(*application) : std::nullopt;
    std::optional<Element> page;
    if (window)
        walkBreadthFirst(accessibility, *window, 2000, [&](const Element& element) {
            if (accessibility.role(element) != Role::documentWeb ||
                accessibility.documentUrl(element) != url || accessibility.children(element).isEmpty())
                return WalkStep::goOn;
            page = element;
            return WalkStep::stop;
        });
    return page;
}

std::optional<Clicked> focusById(Accessibility& accessibility, const Element& root, const QString& id)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::optional<Element> element;
        std::optional<Rect> frame;
        waitUntil(
            [&] {
                element = findElement(accessibility, root, &ElementTree::domId, id);
                frame = element ? accessibility.screenFrame(*element) : std::nullopt;
                return frame.has_value();
            },
            10s);
        if (frame && clickAt(*frame) &&
            waitUntil([&] { return accessibility.focusedElement() == element; }, 3s))
            return Clicked{*element, *frame};
    }
    return std::nullopt;
}

QString valueOf(Accessibility& accessibility, const Element& element)
{
    return accessibility.text(element).value_or(QString());
}

std::optional<Element> openPage(Accessibility& accessibility, Browser& browser, const QString& url)
{
    std::optional<Element> page = pageShowing(accessibility, browser.pid(), url);
    for (int attempt = 0; attempt < 3 && !page; ++attempt)
        if (browser.open(url))
            waitUntil([&] { return (page = pageShowing(accessibility, browser.pid(), url)).has_value(); },
                      10s);
    settle(300ms);
    return page;
}

namespace {

// Chromium refuses to start as root without --no-sandbox, which the system's desktop file does not
// pass: the private home gets its own entry for it, which hides the system's, so that the browser's
// own command still works when the engine runs it.
void allowChromiumAsRoot()
{
    QFile system(QStringLiteral("/usr/share/applications/chromium.desktop"));
    if (!system.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/applications");
    QDir().mkpath(folder);
    QFile own(folder + QStringLiteral("/chromium.desktop"));
    if (own.open(QIODevice::WriteOnly | QIODevice::Text))
        own.write(
            system.readAll().replace("Exec=/usr/bin/chromium ", "Exec=/usr/bin/chromium --no-sandbox "));
}

} // namespace

Browser::Kind Browser::fromEnvironment()
{
    return qgetenv("TESSARY_TEST_BROWSER") == "chromium" ? Kind::chromium : Kind::firefox;
}

Browser::Browser(Kind kind, const QString& url)
    : m_kind(kind)
{
    // The profile is named in the environment rather than on the command line, so that every
    // later plain `firefox-esr URL` or `chromium URL` of this test, and of the processes it starts,
    // reaches this browser as a user's reaches theirs: a link opened through the browser's own
    // command becomes a tab here instead of a second browser.
    qputenv(m_kind == Kind::firefox ? "XRE_PROFILE_PATH" : "CHROME_CONFIG_HOME", m_profile.path().toUtf8());
    if (m_kind == Kind::chromium && geteuid() == 0)
        allowChromiumAsRoot();
    if (onWaylandRig())
        qputenv("MOZ_ENABLE_WAYLAND", "1");
    desktopRig().holdDevices();
    const QStringList chromiumFlags{"--no-sandbox", "--disable-gpu", "--no-first-run",
                                    "--disable-background-networking", "--disable-component-update",
                                    "--disable-sync",
                                    // The Secret Service would put up a keyring prompt over the page.
                                    "--password-store=basic"};
    m_process.start(desktopId(),
                    (m_kind == Kind::chromium ? chromiumFlags : QStringList()) + QStringList{url});
    m_process.waitForStarted(10000);
}

Browser::~Browser()
{
    stopChild(m_process);
    // Chromium's helper processes may still write into the profile for a moment after the main
    // process is gone.
    for (int attempt = 0; attempt < 25 && !m_profile.remove(); ++attempt)
        QThread::msleep(200);
}

QString Browser::desktopId() const
{
    return m_kind == Kind::chromium ? QStringLiteral("chromium") : QStringLiteral("firefox-esr");
}

bool Browser::open(const QString& url)
{
    return desktopRig().openInBrowser(desktopId(), url);
}

} // namespace tessary::test
