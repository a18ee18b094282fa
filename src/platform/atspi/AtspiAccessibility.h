#pragma once

#include "platform/atspi/AtspiFocusTracker.h"
#include "platform/atspi/AtspiRuntime.h"
#include "platform/atspi/Frontmost.h"
#include "platform/qt/QtOwnAccessibility.h"
#include "screen/Accessibility.h"

#include <QHash>
#include <QObject>

#include <memory>

namespace tessary {

// The accessibility seam over AT-SPI2 (libatspi) and the window system (the X11 window manager, or
// sway's IPC in a sway session). AT-SPI roles and states come out as the screen logic's roles
// (AtspiVocabulary), object attributes, relations and text as typed reads, extents as top-left
// screen pixels. Main thread only; libatspi's events arrive through Qt's event loop (see
// AtspiRuntime). Our own windows are never asked over the bus: their elements come from
// QtOwnAccessibility, and go back to it.
class AtspiAccessibility final : public Accessibility {
public:
    // `frontmost` answers for the session's window system; `canType` says whether this session can
    // type keys at all, which access needs besides the accessibility switch.
    AtspiAccessibility(std::unique_ptr<Frontmost> frontmost, bool canType);

    Role role(const Element& element) override;
    QString inputType(const Element& element) override;
    std::optional<QString> name(const Element& element) override;
    std::optional<QString> description(const Element& element) override;
    std::optional<QString> helpText(const Element& element) override;
    std::optional<QString> placeholder(const Element& element) override;
    std::optional<QString> accessibleId(const Element& element) override;
    std::optional<QString> domId(const Element& element) override;
    QStringList domClasses(const Element& element) override;
    std::optional<QString> text(const Element& element) override;
    std::optional<QString> documentUrl(const Element& element) override;
    std::optional<Element> labelledBy(const Element& element) override;
    std::optional<Element> parent(const Element& element) override;
    QList<Element> children(const Element& element) override;
    std::optional<Rect> screenFrame(const Element& element) override;
    bool framePending(const Element& element) override;
    qint64 processId(const Element& element) override;

    std::optional<Element> focusedElement() override;
    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<Element> applicationElement(qint64 pid) override;
    std::optional<Element> focusedWindow(const Element& application) override;
    quint64 documentLoads() override;
    void setFocused(const Element& element) override;

    void prepareAccessibility(const RunningApplication& application) override;
    bool isTrusted() override;
    void checkTrusted(std::function<void(bool)> answer) override;

    bool available() const { return m_runtime.available(); }
    Frontmost& frontmost() { return *m_frontmost; }
    // Null when libatspi is unavailable.
    const AtspiFocusTracker* focusTracker() const { return m_focus.get(); }

private:
    const QHash<QString, QString>& attributesOf(const Element& element);
    const atspi::NodeFacts& factsOf(const Element& element);
    // Text a static text or heading holds itself, or empty when static-text children carry it.
    QString carriedText(const Element& element);
    bool textInChildren(const Element& element);
    bool inlinesChildren(const Element& element);
    const QString& rawText(const Element& element);
    std::optional<QString> titleOf(const Element& element);
    // Where an element that knows its place only inside its window's surface sits on the screen.
    std::optional<atspi::Extents> placedOnScreen(AtspiAccessible* node, const Element& element);
    std::optional<atspi::Extents> ownPlacedOnScreen(const Element& element);

    AtspiRuntime m_runtime;
    std::unique_ptr<AtspiFocusTracker> m_focus;
    std::unique_ptr<Frontmost> m_frontmost;
    QtOwnAccessibility m_own;
    QHash<QString, qint64> m_pidByBus; // a bus name belongs to one process for its whole life
    QHash<qint64, Element> m_applicationByPid;
    QObject m_pendingChecks; // owns the trust checks in flight, so none answers after we are gone
    const bool m_canType;
    bool m_switchTried = false; // the session's accessibility switch, turned on at the first preparation
};

} // namespace tessary
