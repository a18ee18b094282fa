#pragma once

#include "platform/atspi/AtspiVocabulary.h"

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QString>

#include <optional>

class QDBusMessage;
class QDBusServiceWatcher;
class QImage;

namespace tessary {

// Tessary's own GNOME Shell extension (tessary@tessary.com) over the session bus: the only way an
// application learns the window in front on GNOME under Wayland, types keys, floats a picture
// above every window or binds a global key there. Every call is asynchronous. The extension
// answers only connections that own Tessary's application id or a name under it; the application
// owns its id already, and every process takes a name of its own under it (…Tool.p<pid>).
class GnomeShell : public QObject {
    Q_OBJECT
public:
    struct Window {
        qint64 pid = 0;
        atspi::Extents frame;  // the window's frame on the screen, without client-side shadows
        atspi::Extents buffer; // the surface it draws into, shadows included
        QString wmClass;
        QString title;
        double scale = 1; // screen pixels to one of the window's own, where it draws larger
    };
    // A monitor as the shell lays it out (screen pixels), and the scale it draws a picture at there.
    struct Monitor {
        QRect frame;
        double pictureScale = 1;
    };
    // What the extension reports with the window in front.
    struct Report {
        Window focus;
        QList<Monitor> monitors; // empty when it does not say
    };
    // The keyboard layout the shell types with, as XKB names it.
    struct Keymap {
        QString layouts, variants, options; // comma-separated, one per group
        uint group = 0;
    };

    explicit GnomeShell(const QDBusConnection& bus = QDBusConnection::sessionBus());

    // Finishes once the extension answered, or was found missing; then says which.
    QCoro::Task<bool> ready();
    bool available() const { return m_state == State::answered; }
    // Whether it was asked and did not answer; false while the first answer is still to come (calls
    // made meanwhile reach it in order, after the name that lets them through).
    bool missing() const { return m_state == State::missing; }
    // The window with the keyboard focus, as last reported; pid 0 when none or not known yet.
    const Window& focus() const { return m_focus; }
    // The screen pixels the shell draws one of a picture's logical pixels with on the monitor
    // holding `point` (screen pixels); none when no monitor holds it or the extension does not
    // say (one loaded before it did).
    std::optional<double> pictureScale(QPoint point) const;

    // Finishes with an error when the shell did not take the key.
    QDBusPendingCall pressKey(quint32 keyval, bool down);
    // False when no text field takes text from the shell's input method.
    QCoro::Task<bool> commitText(QString text);
    // None when the shell does not say; a warning tells why.
    QCoro::Task<std::optional<Keymap>> keymap();
    // `image` (premultiplied ARGB32) shown with its top-left corner at `topLeft` in screen pixels,
    // at the image's logical size on the monitor it stands on.
    void showPicture(const QImage& image, QPoint topLeft);
    void hidePicture();
    // Tessary's icon in the top bar, drawn from `image` at 16 logical pixels square.
    void showPanelIcon(const QImage& image);
    void hidePanelIcon();
    // Moves Tessary's own window of that title; false when the shell knows none (yet).
    QCoro::Task<bool> moveWindow(QString title, QPoint topLeft);
    // False when the shell or another program already binds the combination; none on no answer.
    QCoro::Task<std::optional<bool>> grabShortcut(QString accelerator);
    void releaseShortcut();

signals:
    void focusChanged();
    // kind: "enter", "motion", "press", "release" or "leave"; `at` in the picture's own pixels.
    void picturePointer(const QString& kind, QPointF at, uint button);
    void shortcutPressed();
    // The top bar's icon was clicked; `icon` is where it stands on the screen.
    void panelIconClicked(QRect icon);
    // The first answer to whether the extension is there came.
    void settled();
    // The extension came onto the bus again: GNOME turns extensions off while the screen is
    // locked and on again after, and the user may turn it off and on. What it showed or bound for
    // us went with it and must be asked for anew.
    void returned();

private slots:
    void onFocusChanged(const QDBusMessage& message);
    void onPicturePointer(const QString& kind, double x, double y, uint button, const QDBusMessage& signal);
    void onShortcutPressed(const QDBusMessage& signal);
    void onPanelIconClicked(const QDBusMessage& message);

private:
    enum class State { asking, answered, missing };
    QCoro::Task<> start();
    void settle(State state);
    void take(const Report& report);                // keeps what the extension reported
    bool isShell(const QDBusMessage& signal) const; // sent by the extension, not another program

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_watcher;
    State m_state = State::asking;
    Window m_focus;
    QList<Monitor> m_monitors;
    QString m_owner; // the extension's unique name on the bus, once known
};

} // namespace tessary
