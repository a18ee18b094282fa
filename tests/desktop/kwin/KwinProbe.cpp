// kwin-probe: what tests on headless KWin need from the compositor.
//   kwin-probe shot FILE.png        the whole workspace through org.kde.KWin.ScreenShot2
//   kwin-probe click X Y            a left click at X,Y (workspace pixels) through fake input
//   kwin-probe keys KEY...          presses the evdev KEYs in order, then releases them in reverse
//   kwin-probe hold-keys SECONDS KEY...  the same, holding them down SECONDS in between
//   kwin-probe windows              the windows KWin shows, as a JSON array of {pid, title, rect}
//   kwin-probe hold                 keeps a fake input device on the seat until stopped: headless
//                                   KWin gives no window the keyboard focus while it has no keyboard
// Fake input needs a desktop entry granting it to this executable (scripts/kwin-session --grant).
#include "fake-input-client-protocol.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QTemporaryFile>
#include <QTextStream>
#include <QThread>

#include <wayland-client.h>

#include <cstring>
#include <linux/input-event-codes.h>
#include <optional>
#include <unistd.h>

namespace {

QTextStream err(stderr);

int shot(const QString& file)
{
    QTemporaryFile pixels;
    if (!pixels.open())
        return 1;
    QDBusMessage call = QDBusMessage::createMethodCall("org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                                       "org.kde.KWin.ScreenShot2", "CaptureWorkspace");
    call << QVariantMap{} << QVariant::fromValue(QDBusUnixFileDescriptor(pixels.handle()));
    const QDBusReply<QVariantMap> reply = QDBusConnection::sessionBus().call(call);
    if (!reply.isValid()) {
        err << "kwin-probe: no screenshot: " << reply.error().message() << Qt::endl;
        return 1;
    }
    // KWin writes the picture from a thread of its own, which may still be at it after the answer.
    const QVariantMap meta = reply.value();
    const qint64 size = qint64(meta["stride"].toInt()) * meta["height"].toInt();
    for (QDeadlineTimer deadline(5000); pixels.size() < size && !deadline.hasExpired();)
        QThread::msleep(10);
    pixels.seek(0); // KWin's writes moved the offset this descriptor shares
    const QByteArray data = pixels.readAll();
    const QImage image(reinterpret_cast<const uchar*>(data.constData()), meta["width"].toInt(),
                       meta["height"].toInt(), meta["stride"].toInt(),
                       QImage::Format(meta["format"].toInt()));
    return data.size() >= size && image.save(file) ? 0 : 1;
}

// Receives the one call of the script `windows` loads into KWin.
class WindowsReceiver : public QDBusVirtualObject {
public:
    std::optional<QString> report;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override
    {
        report = message.arguments().value(0).toString();
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

QDBusMessage scripting(const QString& path, const QString& interface, const QString& method,
                       const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall("org.kde.KWin", path, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call);
}

int windows()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    WindowsReceiver receiver;
    bus.registerVirtualObject("/probe", &receiver);
    QTemporaryFile script(QDir::tempPath() + "/kwin-probe-XXXXXX.js");
    const QString text = QStringLiteral(R"(
const all = workspace.windowList ? workspace.windowList() : workspace.clientList();
callDBus("%1", "/probe", "com.tessary.Probe", "windows", JSON.stringify(all.filter(w => !w.minimized).map(w => ({
    pid: w.pid, title: w.caption,
    rect: [w.frameGeometry.x, w.frameGeometry.y, w.frameGeometry.width, w.frameGeometry.height]}))));
)")
                             .arg(bus.baseService());
    if (!script.open() || script.write(text.toUtf8()) < 0 || !script.flush())
        return 1;
    const QString name = QStringLiteral("kwin-probe-%1").arg(QCoreApplication::applicationPid());
    const QDBusMessage loaded =
        scripting("/Scripting", "org.kde.kwin.Scripting", "loadScript", {script.fileName(), name});
    const int id = loaded.arguments().value(0).toInt();
    const QString script5 = QStringLiteral("/%1").arg(id);
    if (scripting(script5, "org.kde.kwin.Script", "run", {}).type() == QDBusMessage::ErrorMessage)
        scripting(QStringLiteral("/Scripting/Script%1").arg(id), "org.kde.kwin.Script", "run", {});
    QDeadlineTimer deadline(5000);
    while (!receiver.report && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    scripting("/Scripting", "org.kde.kwin.Scripting", "unloadScript", {name});
    if (!receiver.report)
        return 1;
    QTextStream(stdout) << *receiver.report << Qt::endl;
    return 0;
}

struct Globals {
    org_kde_kwin_fake_input* input = nullptr;
};

void announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    if (!std::strcmp(interface, org_kde_kwin_fake_input_interface.name))
        static_cast<Globals*>(data)->input = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}
void withdraw(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener{announce, withdraw};

int fakeInput(const QStringList& args)
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return 1;
    Globals globals;
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &globals);
    wl_display_roundtrip(display);
    if (!globals.input) {
        err << "kwin-probe: KWin grants this executable no fake input" << Qt::endl;
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(globals.input, "kwin-probe", "tests");
    if (args[0] == QLatin1String("hold")) {
        wl_display_roundtrip(display);
        pause();
        return 0;
    }
    if (args[0] == QLatin1String("click")) {
        org_kde_kwin_fake_input_pointer_motion_absolute(globals.input, wl_fixed_from_int(args[1].toInt()),
                                                        wl_fixed_from_int(args[2].toInt()));
        org_kde_kwin_fake_input_button(globals.input, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
        org_kde_kwin_fake_input_button(globals.input, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    } else {
        const bool held = args[0] == QLatin1String("hold-keys");
        const qsizetype first = held ? 2 : 1;
        for (qsizetype i = first; i < args.size(); ++i)
            org_kde_kwin_fake_input_keyboard_key(globals.input, args[i].toUInt(),
                                                 WL_KEYBOARD_KEY_STATE_PRESSED);
        if (held) {
            wl_display_roundtrip(display);
            QThread::msleep(args[1].toULong() * 1000);
        }
        for (qsizetype i = args.size() - 1; i >= first; --i)
            org_kde_kwin_fake_input_keyboard_key(globals.input, args[i].toUInt(),
                                                 WL_KEYBOARD_KEY_STATE_RELEASED);
    }
    const int status = wl_display_roundtrip(display) < 0 ? 1 : 0;
    wl_display_disconnect(display);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("shot"))
        return shot(args[1]);
    if (args == QStringList{"windows"})
        return windows();
    if ((args.size() == 3 && args[0] == QLatin1String("click")) || args == QStringList{"hold"} ||
        (args.size() >= 2 && args[0] == QLatin1String("keys")) ||
        (args.size() >= 3 && args[0] == QLatin1String("hold-keys")))
        return fakeInput(args);
    err << "usage: kwin-probe shot FILE.png | click X Y | keys KEY... | hold-keys SECONDS KEY... | hold | "
           "windows"
        << Qt::endl;
    return 2;
}
