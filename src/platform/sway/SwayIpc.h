#pragma once

#include "common/Expected.h"
#include "platform/atspi/AtspiVocabulary.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace tessary {

// sway's IPC (the i3 IPC framing): each message is "i3-ipc", the payload's length and the
// message type as 32-bit integers in the machine's byte order, then the payload, JSON in replies.
namespace swayipc {

// Pixel rectangles, top-left origin, as AT-SPI reports them.
using Extents = atspi::Extents;

constexpr quint32 getTree = 4;
// sway answers in well under a millisecond; a reply this late means it is stuck.
constexpr int replyTimeoutMs = 500;

struct Message {
    quint32 type = 0;
    QByteArray payload;
};

QByteArray frame(quint32 type, const QByteArray& payload = {});
// Takes one whole message off the front of the bytes read so far: none while it is still
// incomplete, an error when the bytes are not an IPC message at all.
Expected<std::optional<Message>, QString> takeMessage(QByteArray& buffer);

// The window that has the focus, as get_tree describes it.
struct Toplevel {
    qint64 pid = 0;
    QString appId;   // the Wayland app_id; for an XWayland window, its WM_CLASS class
    Extents content; // the application's own surface area, borders and title bar left out, in screen pixels
    QString title;
    bool focused = false;
};
// The focused window in a get_tree reply; none when the focus is on an empty workspace.
std::optional<Toplevel> focusedToplevel(const QJsonObject& tree);
// Every application window in a get_tree reply, tiled and floating, in tree order.
QList<Toplevel> toplevels(const QJsonObject& tree);

} // namespace swayipc

// A connection to the sway instance of this session ($SWAYSOCK), opened per request: replies are
// small and a request costs well under a millisecond, which keeps a restarted sway from leaving
// a dead connection behind.
class SwayIpc {
public:
    explicit SwayIpc(QString socketPath);
    // The socket named by SWAYSOCK.
    static SwayIpc fromEnvironment();
    const QString& socketPath() const { return m_socketPath; }

    Expected<QJsonObject, QString> tree() const;
    // One request and its reply's payload: commands, the config and the rest of sway's messages.
    Expected<QByteArray, QString> request(quint32 type, const QByteArray& payload) const;

private:
    QString m_socketPath;
};

} // namespace tessary
