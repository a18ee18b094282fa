#pragma once

#include "screen/Accessibility.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace tessary::test {

// What a desktop test does with its hands: wait (running the event loop, so AT-SPI events keep
// arriving), click and press keys through the rig it runs in, and find elements in a live tree.

// Runs the event loop until `done` holds or the time is up; whether it held.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
void settle(std::chrono::milliseconds duration);

bool xdotool(const QStringList& arguments);
// Clicks the middle of a screen rectangle.
bool clickAt(const Rect& frame);
bool onGnome();
// Any Wayland rig: no list of windows to find the chip in, which shows only as pixels.
bool onWaylandRig();

// Starts the Secret Service unlocked on the session bus: a locked one's password prompt takes the
// active window (seen: gcr-prompter, and every key typed afterwards went to it).
void unlockKeyring();

// Stops a child the test started: asked first, killed after 5 s.
void stopChild(QProcess& process);
// The child's first JSON line that matches, read on the event loop; every line read goes into `seen`.
std::optional<QJsonObject> waitForLine(QProcess& process,
                                       const std::function<bool(const QJsonObject&)>& matches,
                                       QStringList& seen, std::chrono::milliseconds timeout);

// A mapped window of a process: its title and top-left screen pixels.
struct ShownWindow {
    QString title;
    QRect rect;
};

// One kind of test desktop, driven with the tools it offers, in top-left screen pixels.
class DesktopRig {
public:
    virtual ~DesktopRig() = default;

    virtual bool click(int x, int y) = 0;
    // A combination in xdotool's names ("super+shift+o", "ctrl+l", "Return").
    virtual bool pressKeys(const QString& combination) = 0;
    // The process's mapped windows (on sway, its visible ones in sway's tree).
    virtual QList<ShownWindow> shownWindows(qint64 pid) = 0;
    // On a Wayland rig, where the chip is in no window list, the screen or a rectangle of it; a null
    // image when that fails, or where the chip is a window of its own.
    virtual QImage screenShot(const QRect& rect = QRect()) = 0;
    // Input devices a headless compositor lacks, held from before the first browser or click on.
    virtual void holdDevices() {}
    // Shows `url` in the running browser `program`: by default through the browser's own command
    // (typed into the address bar, the first keys of a new virtual keyboard could be lost).
    virtual bool openInBrowser(const QString& program, const QString& url);
};
// The rig of this session, chosen as the product chooses its desktop.
DesktopRig& desktopRig();

// A short command's standard output, or nothing when it fails or takes longer than 10 s.
std::optional<QByteArray> output(const QString& program, const QStringList& arguments);
bool run(const QString& program, const QStringList& arguments);
QJsonDocument jsonOutput(const QString& program, const QStringList& arguments);
// Where two shots of the same screen differ: the box of the largest group of touching changed pixels
// at least `least` wide and high, so that a blinking text caret does not count.
std::optional<QRect> changedArea(const QImage& before, const QImage& after, int least = 10);

// A text an element is read for: &ElementTree::domId, &ElementTree::name, ...
using TextRead = std::optional<QString> (ElementTree::*)(const Element&);
// The first element below `root`, breadth first, whose text read by `read` is `value`.
std::optional<Element> findElement(ElementTree& tree, const Element& root, TextRead read,
                                   const QString& value);

// The element named `name` among the windows of the process `pid`, and a click on its middle.
std::optional<Element> namedElement(Accessibility& accessibility, qint64 pid, const QString& name);
bool clickNamed(Accessibility& accessibility, qint64 pid, const QString& name);
// Clicks the chip's first button (Fill, Open). On a Wayland rig, where the chip is in no tree, it is
// clicked where it must stand with the chip's top-left corner at `chip`: elsewhere it takes no click.
bool clickChipButton(Accessibility& accessibility, qint64 pid, const QString& name, QPoint chip);

// The web page showing that address with its content, in the focused window of the process `pid`
// when it is in front.
std::optional<Element> pageShowing(Accessibility& accessibility, qint64 pid, const QString& url);

// An element clicked, and its frame when it was clicked.
struct Clicked {
    Element element;
    Rect frame;
};
// Waits until the element with that DOM id is laid out (right after a load it may exist before),
// clicks it and waits for the focus; a page still settling can miss the click: three tries.
std::optional<Clicked> focusById(Accessibility& accessibility, const Element& root, const QString& id);

QString valueOf(Accessibility& accessibility, const Element& element);

class Browser;
// Loads the address unless it shows already and waits for its page; keys typed into a browser still
// starting up can get lost: three tries.
std::optional<Element> openPage(Accessibility& accessibility, Browser& browser, const QString& url);

// A browser on a fresh profile, stopped (by its own pid) when the object goes.
class Browser {
public:
    enum class Kind { firefox, chromium };
    static Kind fromEnvironment(); // TESSARY_TEST_BROWSER: "firefox" (default) or "chromium"

    Browser(Kind kind, const QString& url);
    ~Browser();
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    Kind kind() const { return m_kind; }
    qint64 pid() const { return m_process.processId(); }
    QString desktopId() const; // also its command
    // Opens another page in the same tab, through the address bar.
    bool open(const QString& url);

private:
    Kind m_kind;
    QTemporaryDir m_profile;
    QProcess m_process;
};

} // namespace tessary::test
