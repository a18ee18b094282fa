#include "platform/sway/SwayIpc.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessary {

namespace swayipc {

namespace {

const QByteArray magic = QByteArrayLiteral("i3-ipc");
constexpr qsizetype headerSize = 14; // magic, length, type
// get_tree of a busy desktop is tens of kilobytes; anything near this is not sway talking.
constexpr quint32 largestPayload = 64u << 20;

void appendNative(QByteArray& bytes, quint32 value)
{
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

quint32 readNative(const QByteArray& bytes, qsizetype at)
{
    quint32 value = 0;
    std::memcpy(&value, bytes.constData() + at, sizeof value);
    return value;
}

Extents extentsOf(const QJsonValue& rect)
{
    const QJsonObject object = rect.toObject();
    return Extents{object.value(QLatin1String("x")).toInt(), object.value(QLatin1String("y")).toInt(),
                   object.value(QLatin1String("width")).toInt(),
                   object.value(QLatin1String("height")).toInt()};
}

std::optional<QJsonObject> findFocused(const QJsonObject& node)
{
    if (node.value(QLatin1String("focused")).toBool())
        return node;
    for (const char* list : {"nodes", "floating_nodes"}) {
        const QJsonArray children = node.value(QLatin1String(list)).toArray();
        for (const QJsonValue& child : children)
            if (auto found = findFocused(child.toObject()))
                return found;
    }
    return std::nullopt;
}

bool isWindow(const QJsonObject& node)
{
    return node.value(QLatin1String("pid")).isDouble();
}

Toplevel toplevelOf(const QJsonObject& node)
{
    Toplevel toplevel;
    toplevel.pid = node.value(QLatin1String("pid")).toInteger();
    toplevel.appId = node.value(QLatin1String("app_id")).toString();
    if (toplevel.appId.isEmpty())
        toplevel.appId = node.value(QLatin1String("window_properties"))
                             .toObject()
                             .value(QLatin1String("class"))
                             .toString();
    const Extents outer = extentsOf(node.value(QLatin1String("rect")));
    const Extents window = extentsOf(node.value(QLatin1String("window_rect")));
    toplevel.content = Extents{outer.x + window.x, outer.y + window.y, window.width, window.height};
    toplevel.title = node.value(QLatin1String("name")).toString();
    toplevel.focused = node.value(QLatin1String("focused")).toBool();
    return toplevel;
}

void collectWindows(const QJsonObject& node, QList<Toplevel>& windows)
{
    if (isWindow(node))
        windows.append(toplevelOf(node));
    for (const char* list : {"nodes", "floating_nodes"}) {
        const QJsonArray children = node.value(QLatin1String(list)).toArray();
        for (const QJsonValue& child : children)
            collectWindows(child.toObject(), windows);
    }
}

} // namespace

QByteArray frame(quint32 type, const QByteArray& payload)
{
    QByteArray bytes = magic;
    appendNative(bytes, quint32(payload.size()));
    appendNative(bytes, type);
    bytes.append(payload);
    return bytes;
}

Expected<std::optional<Message>, QString> takeMessage(QByteArray& buffer)
{
    if (!buffer.startsWith(magic.left(std::min(buffer.size(), magic.size()))))
        return Unexpected{QStringLiteral("not a sway IPC message")};
    if (buffer.size() < headerSize)
        return std::optional<Message>{};
    const quint32 length = readNative(buffer, magic.size());
    if (length > largestPayload)
        return Unexpected{QStringLiteral("sway IPC message of %1 bytes").arg(length)};
    if (buffer.size() < headerSize + qsizetype(length))
        return std::optional<Message>{};
    Message message{readNative(buffer, magic.size() + 4), buffer.mid(headerSize, length)};
    buffer.remove(0, headerSize + length);
    return std::optional<Message>{std::move(message)};
}

std::optional<Toplevel> focusedToplevel(const QJsonObject& tree)
{
    const std::optional<QJsonObject> focused = findFocused(tree);
    if (!focused || !isWindow(*focused))
        return std::nullopt;
    return toplevelOf(*focused);
}

QList<Toplevel> toplevels(const QJsonObject& tree)
{
    QList<Toplevel> windows;
    collectWindows(tree, windows);
    return windows;
}

} // namespace swayipc

namespace {

struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

SwayIpc::SwayIpc(QString socketPath)
    : m_socketPath(std::move(socketPath))
{
}

SwayIpc SwayIpc::fromEnvironment()
{
    return SwayIpc(qEnvironmentVariable("SWAYSOCK"));
}

Expected<QByteArray, QString> SwayIpc::request(quint32 type, const QByteArray& payload) const
{
    const QByteArray path = m_socketPath.toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return Unexpected{QStringLiteral("no sway IPC socket (SWAYSOCK)")};
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));

    FileDescriptor socket{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    if (socket.fd < 0 ||
        ::connect(socket.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return Unexpected{QStringLiteral("cannot reach sway at %1: %2").arg(m_socketPath, strerror(errno))};

    const QByteArray out = swayipc::frame(type, payload);
    for (qsizetype sent = 0; sent < out.size();) {
        const ssize_t written =
            ::send(socket.fd, out.constData() + sent, size_t(out.size() - sent), MSG_NOSIGNAL);
        if (written < 0 && errno != EINTR)
            return Unexpected{QStringLiteral("sway IPC write failed: %1").arg(strerror(errno))};
        sent += std::max<ssize_t>(written, 0);
    }

    QByteArray buffer;
    char chunk[16384];
    for (;;) {
        auto message = swayipc::takeMessage(buffer);
        if (!message)
            return Unexpected{message.error()};
        if (*message) {
            // Events are never subscribed to on this connection, so the one message is the reply.
            if ((*message)->type != type)
                return Unexpected{QStringLiteral("sway IPC replied with type %1").arg((*message)->type)};
            return std::move((*message)->payload);
        }
        pollfd wait{socket.fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, swayipc::replyTimeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return Unexpected{QStringLiteral("sway did not answer")};
        const ssize_t got = ::recv(socket.fd, chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return Unexpected{QStringLiteral("sway closed the IPC connection")};
        buffer.append(chunk, got);
    }
}

Expected<QJsonObject, QString> SwayIpc::tree() const
{
    auto reply = request(swayipc::getTree, {});
    if (!reply)
        return Unexpected{reply.error()};
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(*reply, &error);
    if (!document.isObject())
        return Unexpected{QStringLiteral("sway's tree is not JSON: %1").arg(error.errorString())};
    return document.object();
}

} // namespace tessary
