#include "platform/gnome/GnomeShell.h"

#include "common/AppIdentity.h"
#include "common/Logging.h"

#include <QCoreApplication>
#include <QCoro/QCoroDBusPendingCall>
#include <QCoro/QCoroSignal>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QPointer>

namespace tessary {

namespace {

const QString service = QStringLiteral("com.tessary.Shell");
const QString objectPath = QStringLiteral("/com/tessary/Shell");
const QString interfaceName = QStringLiteral("com.tessary.Shell");

// RequestName flag: fail rather than wait in line.
constexpr uint doNotQueue = 0x4;

atspi::Extents readRectangle(const QDBusArgument& argument)
{
    atspi::Extents extents;
    argument.beginStructure();
    argument >> extents.x >> extents.y >> extents.width >> extents.height;
    argument.endStructure();
    return extents;
}

// The reply or signal argument (t(iiii)(iiii)ssda((iiii)d)); an extension loaded before an update
// (the shell loads extensions only at login) leaves out the monitors, an older one the scale too.
GnomeShell::Report readReport(const QVariant& value)
{
    GnomeShell::Report report;
    auto& window = report.focus;
    const auto argument = value.value<QDBusArgument>();
    qulonglong pid = 0;
    argument.beginStructure();
    argument >> pid;
    window.pid = qint64(pid);
    window.frame = readRectangle(argument);
    window.buffer = readRectangle(argument);
    argument >> window.wmClass >> window.title;
    if (!argument.atEnd())
        argument >> window.scale;
    if (!argument.atEnd()) {
        argument.beginArray();
        while (!argument.atEnd()) {
            argument.beginStructure();
            const atspi::Extents frame = readRectangle(argument);
            double scale = 1;
            argument >> scale;
            argument.endStructure();
            report.monitors.append({QRect(frame.x, frame.y, frame.width, frame.height), scale});
        }
        argument.endArray();
    }
    argument.endStructure();
    return report;
}

// Rows of premultiplied ARGB32 pixels without padding (BGRA in memory), as the extension hands
// them to the shell.
QByteArray pixelRows(const QImage& pixels)
{
    QByteArray bytes;
    bytes.reserve(pixels.width() * pixels.height() * 4);
    for (int row = 0; row < pixels.height(); ++row)
        bytes.append(reinterpret_cast<const char*>(pixels.constScanLine(row)), pixels.width() * 4);
    return bytes;
}

// A call to a method of the extension's object.
QDBusMessage shellCall(const QString& method)
{
    return QDBusMessage::createMethodCall(service, objectPath, interfaceName, method);
}

// The window in front as the extension reports it when asked; none when it does not answer.
std::optional<GnomeShell::Report> reportIn(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return std::nullopt;
    return readReport(reply.arguments().constFirst());
}

QCoro::Task<QDBusMessage> askFocus(QDBusConnection bus)
{
    co_return co_await bus.asyncCall(shellCall(QStringLiteral("GetFocus")));
}

// The answer of a method that says yes or no; no when none comes.
QCoro::Task<bool> askShell(QDBusConnection bus, QDBusMessage call)
{
    const QDBusPendingReply<bool> reply = co_await bus.asyncCall(call);
    co_return reply.isValid() && reply.value();
}

} // namespace

GnomeShell::GnomeShell(const QDBusConnection& bus)
    : m_bus(bus)
    , m_watcher(new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this))
{
    // Its signals are taken from any sender and checked against its owner, learned from this
    // watcher and its first answer: naming the service to the bus connection would have it ask the
    // bus daemon for the owner, and wait.
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) { m_owner = owner; });
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        settle(State::answered);
        emit returned();
        // It reports the window in front when it starts, before it knows who listens.
        QCoro::connect(askFocus(m_bus), this, [this](const QDBusMessage& reply) {
            const std::optional<Report> report = reportIn(reply);
            if (!report)
                return;
            take(*report);
            emit focusChanged();
        });
    });
    // Until it is back, nothing is known of the window in front and nothing can be typed.
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        settle(State::missing);
        take({});
        emit focusChanged();
    });
    m_bus.connect(QString(), objectPath, interfaceName, QStringLiteral("FocusChanged"), this,
                  SLOT(onFocusChanged(QDBusMessage)));
    m_bus.connect(QString(), objectPath, interfaceName, QStringLiteral("PicturePointer"), this,
                  SLOT(onPicturePointer(QString, double, double, uint, QDBusMessage)));
    m_bus.connect(QString(), objectPath, interfaceName, QStringLiteral("ShortcutPressed"), this,
                  SLOT(onShortcutPressed(QDBusMessage)));
    m_bus.connect(QString(), objectPath, interfaceName, QStringLiteral("PanelIconClicked"), this,
                  SLOT(onPanelIconClicked(QDBusMessage)));
    QCoro::connect(start(), this, [] {});
}

QCoro::Task<> GnomeShell::start()
{
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    request << QStringLiteral("%1.Tool.p%2").arg(applicationId()).arg(QCoreApplication::applicationPid())
            << doNotQueue;
    const QPointer<GnomeShell> self(this);
    const QDBusConnection bus = m_bus;
    co_await bus.asyncCall(request);
    const QDBusMessage reply = co_await askFocus(bus);
    if (!self)
        co_return;
    if (const std::optional<Report> report = reportIn(reply)) {
        m_owner = reply.service();
        take(*report);
        settle(State::answered);
    } else {
        settle(State::missing);
    }
}

void GnomeShell::settle(State state)
{
    const bool first = m_state == State::asking;
    m_state = state;
    if (first)
        emit settled();
}

QCoro::Task<bool> GnomeShell::ready()
{
    if (m_state == State::asking)
        co_await qCoro(this, &GnomeShell::settled);
    co_return available();
}

QDBusPendingCall GnomeShell::pressKey(quint32 keyval, bool down)
{
    // Calls on one connection arrive in the order they were sent: no need to wait for each.
    QDBusMessage call = shellCall(QStringLiteral("PressKey"));
    call << keyval << down;
    return m_bus.asyncCall(call);
}

QCoro::Task<bool> GnomeShell::commitText(QString text)
{
    QDBusMessage call = shellCall(QStringLiteral("CommitText"));
    call << text;
    return askShell(m_bus, call);
}

QCoro::Task<std::optional<GnomeShell::Keymap>> GnomeShell::keymap()
{
    const QDBusMessage reply = co_await m_bus.asyncCall(shellCall(QStringLiteral("GetKeymap")));
    const QVariantList values = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || values.size() != 4) {
        qCWarning(logGnome,
                  "the shell did not tell its keyboard layout (%s): keys are chosen as on a US layout",
                  qPrintable(reply.type() == QDBusMessage::ErrorMessage
                                 ? reply.errorMessage()
                                 : QStringLiteral("no layout in its answer")));
        co_return std::nullopt;
    }
    co_return Keymap{values[0].toString(), values[1].toString(), values[2].toString(), values[3].toUInt()};
}

void GnomeShell::showPicture(const QImage& image, QPoint topLeft)
{
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QSize logical = (QSizeF(pixels.size()) / pixels.devicePixelRatio()).toSize();
    QDBusMessage call = shellCall(QStringLiteral("ShowPicture"));
    call << topLeft.x() << topLeft.y() << logical.width() << logical.height() << pixelRows(pixels)
         << pixels.width() << pixels.height();
    m_bus.send(call);
}

void GnomeShell::hidePicture()
{
    m_bus.send(shellCall(QStringLiteral("HidePicture")));
}

void GnomeShell::showPanelIcon(const QImage& image)
{
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QDBusMessage call = shellCall(QStringLiteral("ShowPanelIcon"));
    call << pixelRows(pixels) << pixels.width() << pixels.height();
    m_bus.send(call);
}

void GnomeShell::hidePanelIcon()
{
    m_bus.send(shellCall(QStringLiteral("HidePanelIcon")));
}

QCoro::Task<bool> GnomeShell::moveWindow(QString title, QPoint topLeft)
{
    QDBusMessage call = shellCall(QStringLiteral("MoveWindow"));
    call << title << topLeft.x() << topLeft.y();
    return askShell(m_bus, call);
}

QCoro::Task<std::optional<bool>> GnomeShell::grabShortcut(QString accelerator)
{
    QDBusMessage call = shellCall(QStringLiteral("GrabShortcut"));
    call << accelerator;
    const QDBusPendingReply<bool> reply = co_await m_bus.asyncCall(call);
    co_return reply.isValid() ? std::optional(reply.value()) : std::nullopt;
}

void GnomeShell::releaseShortcut()
{
    m_bus.send(shellCall(QStringLiteral("ReleaseShortcut")));
}

bool GnomeShell::isShell(const QDBusMessage& signal) const
{
    return !m_owner.isEmpty() && signal.service() == m_owner;
}

void GnomeShell::onFocusChanged(const QDBusMessage& message)
{
    if (!isShell(message) || message.arguments().size() != 1)
        return;
    take(readReport(message.arguments().constFirst()));
    settle(State::answered);
    emit focusChanged();
}

void GnomeShell::take(const Report& report)
{
    m_focus = report.focus;
    m_monitors = report.monitors;
}

std::optional<double> GnomeShell::pictureScale(QPoint point) const
{
    for (const Monitor& monitor : m_monitors)
        if (monitor.frame.contains(point))
            return monitor.pictureScale;
    return std::nullopt;
}

void GnomeShell::onPicturePointer(const QString& kind, double x, double y, uint button,
                                  const QDBusMessage& signal)
{
    if (isShell(signal))
        emit picturePointer(kind, QPointF(x, y), button);
}

void GnomeShell::onShortcutPressed(const QDBusMessage& signal)
{
    if (isShell(signal))
        emit shortcutPressed();
}

void GnomeShell::onPanelIconClicked(const QDBusMessage& message)
{
    if (!isShell(message) || message.arguments().size() != 1)
        return;
    const atspi::Extents icon = readRectangle(message.arguments().constFirst().value<QDBusArgument>());
    emit panelIconClicked(QRect(icon.x, icon.y, icon.width, icon.height));
}

} // namespace tessary
