#include "desktop/screen/DesktopDriver.h"

#include "common/AppIdentity.h"
#include "screen/TreeWalk.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <vector>

#include <unistd.h>

namespace tessary::test {

using namespace std::chrono_literals;

namespace {

// Runs a short command; false when it fails or takes longer than 10 s.
bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The standard output of a short command, or nothing when it fails.
std::optional<QByteArray> outputBytes(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

std::optional<QString> output(const QString& program, const QStringList& arguments)
{
    const std::optional<QByteArray> bytes = outputBytes(program, arguments);
    return bytes ? std::optional(QString::fromUtf8(*bytes)) : std::nullopt;
}

int number(const QString& text, const QString& label)
{
    const QRegularExpression pattern(QRegularExpression::escape(label) + QStringLiteral(":\\s*(-?\\d+)"));
    return pattern.match(text).captured(1).toInt();
}

} // namespace

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
    QDeadlineTimer deadline(duration);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

bool onSway()
{
    return qEnvironmentVariableIsSet("SWAYSOCK");
}

bool onKwin()
{
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP") == QLatin1String("KDE") &&
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

bool onGnome()
{
    return !onSway() && qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
           qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("GNOME"));
}

bool onWaylandRig()
{
    return onSway() || onKwin() || onGnome();
}

namespace {

// Headless sway has no input devices, where a desktop has a keyboard and a pointer all along: with
// no keyboard no window becomes active and no focus events arrive, and a click's own pointer device
// would come and go before the window under it had asked the seat for the pointer. Both are held
// for the test's whole life: a wtype that sleeps before its one key, and wayland-click --hold.
void holdSwayDevices()
{
    static QProcess keyboard;
    static QProcess pointer;
    if (pointer.state() != QProcess::NotRunning)
        return;
    keyboard.start(QStringLiteral("wtype"), {QStringLiteral("-s"), QStringLiteral("2000000000"),
                                             QStringLiteral("-k"), QStringLiteral("Escape")});
    pointer.start(QStringLiteral(TESSARY_WAYLAND_CLICK), {QStringLiteral("--hold")});
    keyboard.waitForStarted(5000);
    pointer.waitForStarted(5000);
    settle(std::chrono::milliseconds(200));
    static const struct StopHeld {
        ~StopHeld()
        {
            stopChild(pointer);
            stopChild(keyboard);
        }
    } stopHeld;
}

// A click on headless sway, through wayland-click.
bool swayClick(int x, int y)
{
    holdSwayDevices();
    const QJsonArray outputs =
        QJsonDocument::fromJson(
            output(QStringLiteral("swaymsg"),
                   {QStringLiteral("-t"), QStringLiteral("get_outputs"), QStringLiteral("-r")})
                .value_or(QString())
                .toUtf8())
            .array();
    int width = 0;
    int height = 0;
    for (const QJsonValue& screen : outputs) {
        const QJsonObject rect = screen[QStringLiteral("rect")].toObject();
        width = std::max(width, rect[QStringLiteral("x")].toInt() + rect[QStringLiteral("width")].toInt());
        height = std::max(height, rect[QStringLiteral("y")].toInt() + rect[QStringLiteral("height")].toInt());
    }
    return width > 0 &&
           run(QStringLiteral(TESSARY_WAYLAND_CLICK),
               {QString::number(x), QString::number(y), QString::number(width), QString::number(height)});
}

// The evdev codes of the keys pressKeys and typeText name on KWin, whose fake input takes evdev
// codes through the rig's US layout.
std::optional<unsigned> evdevKey(const QString& name)
{
    static const QHash<QString, unsigned> named{
        {QStringLiteral("ctrl"), 29},   {QStringLiteral("shift"), 42},  {QStringLiteral("alt"), 56},
        {QStringLiteral("super"), 125}, {QStringLiteral("Return"), 28}, {QStringLiteral("Escape"), 1},
        {QStringLiteral("Tab"), 15},    {QStringLiteral("space"), 57},  {QStringLiteral("."), 52},
        {QStringLiteral("/"), 53},      {QStringLiteral("-"), 12}};
    static const QString rows[] = {QStringLiteral("1234567890"), QStringLiteral("qwertyuiop"),
                                   QStringLiteral("asdfghjkl"), QStringLiteral("zxcvbnm")};
    static const unsigned rowStarts[] = {2, 16, 30, 44};
    if (const auto key = named.constFind(name); key != named.cend())
        return *key;
    for (int row = 0; row < 4 && name.size() == 1; ++row)
        if (const qsizetype column = rows[row].indexOf(name.toLower()); column >= 0)
            return rowStarts[row] + unsigned(column);
    return std::nullopt;
}

// Headless KWin, like headless sway, gives no window the keyboard focus until a keyboard exists: a
// fake input device is held for the test's whole life.
void holdKwinDevices()
{
    static QProcess device;
    if (device.state() != QProcess::NotRunning)
        return;
    device.start(QStringLiteral(TESSARY_KWIN_PROBE), {QStringLiteral("hold")});
    device.waitForStarted(5000);
    settle(std::chrono::milliseconds(200));
    static const struct StopHeld {
        ~StopHeld() { stopChild(device); }
    } stopHeld;
}

// Presses the keys named, in order, through kwin-probe, and lets them go in reverse.
bool kwinKeys(const QStringList& names)
{
    QStringList codes{QStringLiteral("keys")};
    for (const QString& name : names) {
        const std::optional<unsigned> key = evdevKey(name);
        if (!key)
            return false;
        codes.append(QString::number(*key));
    }
    return run(QStringLiteral(TESSARY_KWIN_PROBE), codes);
}

// The GNOME rig's clicks, keys and screenshots, through tests/desktop/gnome/gnome-tool.js.
bool gnomeTool(const QStringList& arguments)
{
    return run(QStringLiteral("gjs"), QStringList{QStringLiteral(TESSARY_GNOME_TOOL)} + arguments);
}

} // namespace

bool xdotool(const QStringList& arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}

bool clickAt(const Rect& frame)
{
    const int x = frame.x + frame.width / 2;
    const int y = frame.y + frame.height / 2;
    if (onSway())
        return swayClick(x, y);
    if (onKwin())
        return run(QStringLiteral(TESSARY_KWIN_PROBE),
                   {QStringLiteral("click"), QString::number(x), QString::number(y)});
    if (onGnome())
        return gnomeTool({QStringLiteral("click"), QString::number(x), QString::number(y)});
    return xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y),
                    QStringLiteral("click"), QStringLiteral("1")});
}

bool pressKeys(const QString& combination)
{
    if (onKwin())
        return kwinKeys(combination.split(QLatin1Char('+')));
    if (onGnome())
        return gnomeTool({QStringLiteral("keys"), combination});
    if (!onSway())
        return xdotool({QStringLiteral("key"), combination});
    // wtype holds modifiers with -M and lets them go with -m; "super" is its "logo".
    QStringList modifiers = combination.split(QLatin1Char('+'));
    const QString key = modifiers.takeLast();
    modifiers.replaceInStrings(QRegularExpression(QStringLiteral("^super$")), QStringLiteral("logo"));
    QStringList arguments;
    for (const QString& modifier : modifiers)
        arguments << QStringLiteral("-M") << modifier;
    arguments << QStringLiteral("-k") << key;
    for (auto modifier = modifiers.crbegin(); modifier != modifiers.crend(); ++modifier)
        arguments << QStringLiteral("-m") << *modifier;
    return run(QStringLiteral("wtype"), arguments);
}

bool typeText(const QString& text)
{
    if (onGnome())
        return gnomeTool({QStringLiteral("type"), text});
    if (onSway())
        return run(QStringLiteral("wtype"), {QStringLiteral("-d"), QStringLiteral("5"), text});
    if (onKwin()) {
        for (const QChar character : text) {
            QStringList keys{QString(character)};
            if (character.isUpper())
                keys.prepend(QStringLiteral("shift"));
            if (!kwinKeys(keys))
                return false;
        }
        return true;
    }
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text});
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

void unlockKeyring()
{
    output(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("printf test | gnome-keyring-daemon "
                                                                       "--unlock --components=secrets")});
}

namespace {

// The process's visible windows in sway's tree, tiled and floating. Layer surfaces (the chip) are
// not in the tree: sway's IPC does not list them.
void collectSwayWindows(const QJsonObject& node, qint64 pid, QList<ShownWindow>& windows)
{
    if (node[QStringLiteral("pid")].toInteger() == pid && node[QStringLiteral("visible")].toBool()) {
        const QJsonObject rect = node[QStringLiteral("rect")].toObject();
        windows.append(
            {QString::number(node[QStringLiteral("id")].toInteger()), node[QStringLiteral("name")].toString(),
             QRect(rect[QStringLiteral("x")].toInt(), rect[QStringLiteral("y")].toInt(),
                   rect[QStringLiteral("width")].toInt(), rect[QStringLiteral("height")].toInt())});
    }
    for (const QString& children : {QStringLiteral("nodes"), QStringLiteral("floating_nodes")})
        for (const QJsonValue& child : node[children].toArray())
            collectSwayWindows(child.toObject(), pid, windows);
}

} // namespace

QList<ShownWindow> shownWindows(qint64 pid)
{
    if (onKwin()) {
        QList<ShownWindow> windows;
        const QJsonArray all =
            QJsonDocument::fromJson(output(QStringLiteral(TESSARY_KWIN_PROBE), {QStringLiteral("windows")})
                                        .value_or(QString())
                                        .toUtf8())
                .array();
        for (const QJsonValue& window : all) {
            const QJsonArray rect = window[QStringLiteral("rect")].toArray();
            if (window[QStringLiteral("pid")].toInteger() == pid)
                windows.append({QString::number(windows.size()), window[QStringLiteral("title")].toString(),
                                QRect(rect[0].toInt(), rect[1].toInt(), rect[2].toInt(), rect[3].toInt())});
        }
        return windows;
    }
    if (onGnome()) {
        // GNOME tells no other program a window's process: Tessary's windows are those of its
        // application id, and the rig runs one Tessary at a time.
        QList<ShownWindow> windows;
        const QJsonArray all =
            QJsonDocument::fromJson(
                output(QStringLiteral("gjs"), {QStringLiteral(TESSARY_GNOME_TOOL), QStringLiteral("windows")})
                    .value_or(QString())
                    .toUtf8())
                .array();
        for (const QJsonValue& window : all)
            if (window[QStringLiteral("class")].toString() == applicationId())
                windows.append({QString::number(windows.size()), window[QStringLiteral("title")].toString(),
                                QRect(0, 0, window[QStringLiteral("width")].toInt(),
                                      window[QStringLiteral("height")].toInt())});
        return windows;
    }
    if (onSway()) {
        QList<ShownWindow> windows;
        collectSwayWindows(QJsonDocument::fromJson(output(QStringLiteral("swaymsg"),
                                                          {QStringLiteral("-t"), QStringLiteral("get_tree"),
                                                           QStringLiteral("-r")})
                                                       .value_or(QString())
                                                       .toUtf8())
                               .object(),
                           pid, windows);
        return windows;
    }
    const std::optional<QString> ids =
        output(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--pid"), QString::number(pid)});
    QList<ShownWindow> windows;
    for (const QString& id : ids.value_or(QString()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const std::optional<QString> info = output(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
        if (!info)
            continue;
        static const QRegularExpression quoted(QStringLiteral("Window id: \\S+ \"(.*)\""));
        windows.append(
            {id, quoted.match(*info).captured(1),
             QRect(number(*info, QStringLiteral("Absolute upper-left X")),
                   number(*info, QStringLiteral("Absolute upper-left Y")),
                   number(*info, QStringLiteral("Width")), number(*info, QStringLiteral("Height")))});
    }
    return windows;
}

QImage screenShot(const QRect& rect)
{
    if (onKwin()) {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("shot.ppm"));
        if (!run(QStringLiteral(TESSARY_KWIN_PROBE), {QStringLiteral("shot"), file}))
            return QImage();
        const QImage shot(file);
        return rect.isNull() ? shot : shot.copy(rect);
    }
    if (onGnome()) {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("shot.png"));
        QStringList arguments{QStringLiteral("shot"), file};
        if (!rect.isNull())
            arguments << QString::number(rect.x()) << QString::number(rect.y())
                      << QString::number(rect.width()) << QString::number(rect.height());
        return gnomeTool(arguments) ? QImage(file) : QImage();
    }
    // PPM rather than PNG: a shot taken again and again should not wait for compression.
    QStringList arguments{QStringLiteral("-t"), QStringLiteral("ppm")};
    if (!rect.isNull())
        arguments
            << QStringLiteral("-g")
            << QStringLiteral("%1,%2 %3x%4").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
    arguments << QStringLiteral("-");
    const std::optional<QByteArray> shot = outputBytes(QStringLiteral("grim"), arguments);
    return shot ? QImage::fromData(*shot, "PPM") : QImage();
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
                                   const QString& value, int budget)
{
    std::optional<Element> found;
    walkBreadthFirst(tree, root, budget, [&](const Element& element) {
        if ((tree.*read)(element) != value)
            return WalkStep::goOn;
        found = element;
        return WalkStep::stop;
    });
    return found;
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

bool holds(Accessibility& accessibility, const Element& element, const QString& text,
           std::chrono::milliseconds timeout)
{
    return waitUntil([&] { return valueOf(accessibility, element) == text; }, timeout);
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

Browser::Kind Browser::fromEnvironment()
{
    return qgetenv("TESSARY_TEST_BROWSER") == "chromium" ? Kind::chromium : Kind::firefox;
}

QStringList Browser::arguments(const QString& url) const
{
    if (m_kind == Kind::firefox)
        return {url};
    return {QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
            QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
            QStringLiteral("--disable-sync"),
            // The Secret Service would put up a keyring prompt over the page.
            QStringLiteral("--password-store=basic"), url};
}

QString Browser::program() const
{
    return m_kind == Kind::chromium ? QStringLiteral("chromium") : QStringLiteral("firefox-esr");
}

// Chromium refuses to start as root without --no-sandbox, which the system's desktop file does not
// pass: the private home gets its own entry for it, which hides the system's, so that the browser's
// own command still works when the engine runs it.
void Browser::allowChromiumAsRoot()
{
    QFile system(QStringLiteral("/usr/share/applications/chromium.desktop"));
    if (!system.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/applications");
    QDir().mkpath(folder);
    QFile own(folder + QStringLiteral("/chromium.desktop"));
    if (own.open(QIODevice::WriteOnly | QIODevice::Text))
        own.write(QString::fromUtf8(system.readAll())
                      .replace(QStringLiteral("Exec=/usr/bin/chromium "),
                               QStringLiteral("Exec=/usr/bin/chromium --no-sandbox "))
                      .toUtf8());
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
    if (onSway())
        holdSwayDevices();
    if (onKwin())
        holdKwinDevices();
    m_process.start(program(), arguments(url));
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
    // On sway each wtype is a keyboard of its own, and the first keys after a keyboard comes can be
    // lost: the address would be mistyped. The browser's own command opens it in a tab instead.
    // (On GNOME a tab opened so often took no clicks: the window GNOME shows stayed the old one.)
    if (onSway() || onKwin())
        return run(program(), {url});
    const bool addressBar =
        onGnome()
            ? pressKeys(QStringLiteral("ctrl+l"))
            : xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+l")});
    return addressBar && typeText(url) && pressKeys(QStringLiteral("Return"));
}

} // namespace tessary::test
