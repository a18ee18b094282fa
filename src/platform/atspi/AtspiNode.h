#pragma once

#include "platform/atspi/AtspiHandle.h"
#include "platform/atspi/AtspiVocabulary.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace tessary::atspi {

// Reads of one remote node. Each is one D-Bus round trip at most; an error, a dead application or
// a time-out reads as empty or none, and every string, object and GError handed out is released
// here.

int role(AtspiAccessible* node);
bool hasState(AtspiAccessible* node, int state);
QString name(AtspiAccessible* node);
QString description(AtspiAccessible* node);
QString accessibleId(AtspiAccessible* node);
QHash<QString, QString> objectAttributes(AtspiAccessible* node);
// The node's role, and its states and attributes only where the role needs them.
NodeFacts facts(AtspiAccessible* node, const std::function<const QHash<QString, QString>&()>& attributes);
// The whole text of the Text interface, or none when the node has none.
std::optional<QString> text(AtspiAccessible* node);
// The document's URL: Firefox names it "DocURL", Chromium "URI".
std::optional<QString> documentUrl(AtspiAccessible* node, const QHash<QString, QString>& attributes);

GObjectPtr<AtspiAccessible> parent(AtspiAccessible* node);
std::vector<GObjectPtr<AtspiAccessible>> children(AtspiAccessible* node);
// The application's window that has the ACTIVE state; null when none has.
GObjectPtr<AtspiAccessible> activeWindow(AtspiAccessible* application);
// The first target of the node's labelled-by relation.
GObjectPtr<AtspiAccessible> labelledBy(AtspiAccessible* node);
// The extents as the application reports them; none without a Component or on an error. On
// Wayland an application cannot know where its window is, and reports both kinds inside it.
enum class Coordinates { screen, window };
std::optional<Extents> extents(AtspiAccessible* node, Coordinates coordinates = Coordinates::screen);
// The node's top-level window (frame, dialog...): the ancestor, or the node itself, whose parent is
// the application. Null when the node hangs in no application.
GObjectPtr<AtspiAccessible> toplevelWindow(AtspiAccessible* node);
qint64 processId(AtspiAccessible* node);
// The first descendant (depth-first, the node itself excluded) in the given state, found by the
// application itself through the Collection interface; null when none or unsupported.
GObjectPtr<AtspiAccessible> firstDescendantInState(AtspiAccessible* node, int state);
bool grabFocus(AtspiAccessible* node);

} // namespace tessary::atspi
