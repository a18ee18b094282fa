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
// arriving), click and press keys, and find elements in a live tree. Clicks, keys, windows and
// screenshots go through the tools of the rig the test runs in (X11Rig, SwayRig, KwinRig, GnomeRig).

// Runs the event loop until `done` holds or the time is up; returns whether it held.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Runs the event loop for a while.
void settle(std::chrono::milliseconds duration);

// Runs xdotool with the arguments; false when it fails or takes longer than 10 s.
bool xdotool(const QStringList& arguments);
// Clicks the middle of a screen rectangle.
bool clickAt(const Rect& frame);
// Whether the test runs on GNOME under Wayland (scripts/gnome-session).
bool onGnome();
// Any Wayland rig: no list of windows to find the chip in, which shows only as pixels.
bool onWaylandRig();

// Starts the Secret Service unlocked on the session bus (it ends with the bus). Without it, the
// first program that stores a secret gets the service's password prompt, which takes the active
// window (seen: gcr-prompter, and every key typed afterwards went to it).
void unlockKeyring();

// Stops a child the test started: asked first, killed after 5 s.
void stopChild(QProcess& process);
// Runs the event loop until the child prints a JSON line that matches; every line read meanwhile
// goes into `seen`, for failure messages. The matching line, or nothing when the time is up.
std::optional<QJsonObject> waitForLine(QProcess& process,
                                       const std::function<bool(const QJsonObject&)>& matches,
                                       QStringList& seen, std::chrono::milliseconds timeout);

// A mapped window of a process as the X server (or sway) has it: top-left screen pixels and its
// title.
struct ShownWindow {
    QString title;
    QRect rect;
};

// One kind of test desktop, driven with the tools it offers. Points and rectangles are top-left
// screen pixels.
class DesktopRig {
public:
    virtual ~DesktopRig() = default;

    virtual bool click(int x, int y) = 0;
    // A combination in xdotool's names ("super+shift+o", "ctrl+l", "Return").
    virtual bool pressKeys(const QString& combination) = 0;
    // The process's mapped windows, in the order xdotool lists them; on sway its visible windows in
    // sway's tree.
    virtual QList<ShownWindow> shownWindows(qint64 pid) = 0;
    // On a Wayland rig, where the chip is in no window list, what shows on screen: the screen, or a
    // top-left rectangle of it, as grim, KWin or GNOME Shell takes it; a null image when that fails,
    // or where the chip is a window of its own and no shot is needed.
    virtual QImage screenShot(const QRect& rect = QRect()) = 0;
    // Input devices a headless compositor lacks, held from before the first browser or click on.
    virtual void holdDevices() {}
    // Shows `url` in the running browser `program`. Here: through the browser's own command, which
    // opens it in a tab (typed into the address bar, the first keys of a new virtual keyboard could
    // be lost and the address mistyped).
    virtual bool openInBrowser(const QString& program, const QString& url);
};
// The rig of this session, chosen as the product chooses its desktop (DesktopRigs.cpp: Xvfb,
// headless sway, KWin and GNOME Shell).
DesktopRig& desktopRig();

// The standard output of a short command, or nothing when it fails or takes longer than 10 s.
std::optional<QByteArray> output(const QString& program, const QStringList& arguments);
// Whether a short command succeeds within 10 s.
bool run(const QString& program, const QStringList& arguments);
// A short command's output read as JSON; an empty document when it fails.
QJsonDocument jsonOutput(const QString& program, const QStringList& arguments);
// Where two shots of the same screen differ: the bounding box (top-left pixels) of the largest group
// of touching changed pixels that is at least `least` wide and high, so that a blinking text caret
// does not count. Nothing when no such group is there or the shots do not match in size.
std::optional<QRect> changedArea(const QImage& before, const QImage& after, int least = 10);

// A text an element is read for: &ElementTree::domId, &ElementTree::name, ...
using TextRead = std::optional<QString> (ElementTree::*)(const Element&);
// Breadth-first search below `root` (at most 4000 elements) for an element whose text read by
// `read` is `value`.
std::optional<Element> findElement(ElementTree& tree, const Element& root, TextRead read,
                                   const QString& value);

// The element named `name` among the windows of the process `pid`.
std::optional<Element> namedElement(Accessibility& accessibility, qint64 pid, const QString& name);
// Clicks the middle of that element.
bool clickNamed(Accessibility& accessibility, qint64 pid, const QString& name);
// Clicks the chip's first button (Fill, Open), named `name` in the process `pid`. On a Wayland rig,
// where the chip is in no tree, it is clicked where it must stand with the chip's top-left corner at
// `chip`: 5 from the chip's left edge, in a chip 30 high; a chip anywhere else takes no click.
bool clickChipButton(Accessibility& accessibility, qint64 pid, const QString& name, QPoint chip);

// The web page showing that address with its content, in the focused window of the frontmost
// application when that is the process `pid`.
std::optional<Element> pageShowing(Accessibility& accessibility, qint64 pid, const QString& url);

// An element clicked, and its frame (top-left screen pixels) when it was clicked.
struct Clicked {
    Element element;
    Rect frame;
};
// Waits until the element with that DOM id below `root` is on screen (right after a load it may
// exist before it is laid out), clicks its middle and waits until it has the focus. A page that is
// still settling can miss the click: it looks again and clicks again, three times at most.
std::optional<Clicked> focusById(Accessibility& accessibility, const Element& root, const QString& id);

// The element's text, or an empty one.
QString valueOf(Accessibility& accessibility, const Element& element);
// Waits until the element's text is `text`.
bool holds(Accessibility& accessibility, const Element& element, const QString& text,
           std::chrono::milliseconds timeout = std::chrono::seconds(10));

class Browser;
// Loads the address in the browser, unless it shows already, and waits until it shows: its page.
// Keys typed into a browser that is still starting up can get lost: it tries three times.
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
