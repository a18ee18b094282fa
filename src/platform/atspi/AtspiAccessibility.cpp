#include "platform/atspi/AtspiAccessibility.h"

#include "platform/atspi/AccessibilityEnabling.h"
#include "platform/atspi/AtspiNode.h"

#include <QUrl>

#include <atspi/atspi.h>

namespace tessary {

namespace {
using atspi::Kind;

QString busOf(const Element& element)
{
    return element.identity().section(QLatin1Char(':'), 0, -2);
}

std::optional<QString> nonEmpty(const QString& text)
{
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

std::optional<Element> present(Element element)
{
    return element.isNull() ? std::nullopt : std::optional<Element>(std::move(element));
}
} // namespace

AtspiAccessibility::AtspiAccessibility(std::unique_ptr<Frontmost> frontmost, bool canType)
    : m_frontmost(std::move(frontmost))
    , m_canType(canType)
{
    if (m_runtime.available())
        m_focus = std::make_unique<AtspiFocusTracker>();
}

const QHash<QString, QString>& AtspiAccessibility::attributesOf(const Element& element)
{
    AtspiNodeCache* cache = cacheOf(element);
    if (!cache->attributes)
        cache->attributes = atspi::objectAttributes(accessibleOf(element));
    return *cache->attributes;
}

const atspi::NodeFacts& AtspiAccessibility::factsOf(const Element& element)
{
    AtspiNodeCache* cache = cacheOf(element);
    if (!cache->facts)
        cache->facts = atspi::facts(
            accessibleOf(element), [&]() -> const QHash<QString, QString>& { return attributesOf(element); });
    return *cache->facts;
}

const QString& AtspiAccessibility::rawText(const Element& element)
{
    AtspiNodeCache* cache = cacheOf(element);
    if (!cache->rawText)
        cache->rawText = atspi::text(accessibleOf(element)).value_or(QString());
    return *cache->rawText;
}

bool AtspiAccessibility::inlinesChildren(const Element& element)
{
    // Firefox keeps a paragraph's words in the paragraph, but makes inline markup (<strong>,
    // <em>) a static-text child standing in the text as U+FFFC: "We've sent a code to <strong>"
    // would otherwise read as a group holding only the address.
    AtspiNodeCache* cache = cacheOf(element);
    if (!cache->inlinesChildren) {
        bool inlines = false;
        const atspi::NodeFacts& facts = factsOf(element);
        const Kind kind = atspi::kindOf(facts);
        if ((kind == Kind::textCarrier || kind == Kind::heading) && facts.role != ATSPI_ROLE_STATIC) {
            const auto children = atspi::children(accessibleOf(element));
            if (atspi::marksEveryChild(rawText(element), int(children.size())))
                for (const GObjectPtr<AtspiAccessible>& child : children)
                    inlines = inlines || atspi::role(child.get()) == ATSPI_ROLE_STATIC;
        }
        cache->inlinesChildren = inlines;
    }
    return *cache->inlinesChildren;
}

bool AtspiAccessibility::textInChildren(const Element& element)
{
    // Chromium hands a paragraph's, label's or heading's text to static-text children and also
    // repeats it in the parent's own text; the children are then the ones that carry it.
    AtspiNodeCache* cache = cacheOf(element);
    if (!cache->textInChildren) {
        bool found = false;
        if (factsOf(element).role != ATSPI_ROLE_STATIC && !inlinesChildren(element)) {
            for (const GObjectPtr<AtspiAccessible>& child : atspi::children(accessibleOf(element)))
                if (atspi::role(child.get()) == ATSPI_ROLE_STATIC) {
                    found = true;
                    break;
                }
        }
        cache->textInChildren = found;
    }
    return *cache->textInChildren;
}

QString AtspiAccessibility::carriedText(const Element& element)
{
    AtspiNodeCache* cache = cacheOf(element);
    if (!cache->carriedText) {
        QString text;
        if (inlinesChildren(element)) {
            // The sentence whole, read once: the inline children are not walked (see children).
            QList<std::optional<QString>> inlineTexts;
            for (const GObjectPtr<AtspiAccessible>& child : atspi::children(accessibleOf(element)))
                inlineTexts.append(atspi::role(child.get()) == ATSPI_ROLE_STATIC
                                       ? std::optional<QString>(atspi::text(child.get()).value_or(QString()))
                                       : std::nullopt);
            text = atspi::withInlineChildren(rawText(element), inlineTexts);
        } else if (!textInChildren(element)) {
            text = atspi::ownText(rawText(element));
        }
        cache->carriedText = text;
    }
    return *cache->carriedText;
}

std::optional<QString> AtspiAccessibility::titleOf(const Element& element)
{
    const Kind kind = atspi::kindOf(factsOf(element));
    if ((kind == Kind::textCarrier || kind == Kind::heading) && textInChildren(element))
        return std::nullopt;
    return nonEmpty(atspi::name(accessibleOf(element)));
}

Role AtspiAccessibility::role(const Element& element)
{
    if (QtOwnAccessibility::owns(element))
        return m_own.role(element);
    if (!accessibleOf(element))
        return Role::invalid;
    const atspi::NodeFacts& facts = factsOf(element);
    const bool holdsText = atspi::kindOf(facts) == Kind::textCarrier &&
                           (!carriedText(element).isEmpty() || titleOf(element).has_value());
    return atspi::roleOf(facts, holdsText);
}

QString AtspiAccessibility::inputType(const Element& element)
{
    if (QtOwnAccessibility::owns(element) || !accessibleOf(element))
        return {}; // no web content in our windows
    return atspi::inputTypeOf(factsOf(element));
}

std::optional<QString> AtspiAccessibility::name(const Element& element)
{
    if (QtOwnAccessibility::owns(element))
        return m_own.name(element);
    return accessibleOf(element) ? titleOf(element) : std::nullopt;
}

std::optional<QString> AtspiAccessibility::description(const Element& element)
{
    if (QtOwnAccessibility::owns(element))
        return m_own.description(element);
    AtspiAccessible* node = accessibleOf(element);
    return node ? nonEmpty(atspi::description(node)) : std::nullopt;
}

std::optional<QString> AtspiAccessibility::helpText(const Element& element)
{
    // AT-SPI 2.46 hands out no help text; our own widgets have theirs.
    return QtOwnAccessibility::owns(element) ? m_own.helpText(element) : std::nullopt;
}

std::optional<QString> AtspiAccessibility::placeholder(const Element& element)
{
    if (QtOwnAccessibility::owns(element))
        return m_own.placeholder(element);
    if (!accessibleOf(element))
        return std::nullopt;
    const QHash<QString, QString>& attributes = attributesOf(element);
    return nonEmpty(attributes.value(QStringLiteral("placeholder-text"),
                                     attributes.value(QStringLiteral("placeholder"))));
}

std::optional<QString> AtspiAccessibility::accessibleId(const Element& element)
{
    if (QtOwnAccessibility::owns(element))
        return m_own.accessibleId(element);
    AtspiAccessible* node = accessibleOf(element);
    return node ? nonEmpty(atspi::accessibleId(node)) : std::nullopt;
}

std::optional<QString> AtspiAccessibility::domId(const Element& element)
{
    if (QtOwnAccessibility::owns(element) || !accessibleOf(element))
        return std::nullopt;
    return nonEmpty(attributesOf(element).value(QStringLiteral("id")));
}

QStringList AtspiAccessibility::domClasses(const Element& element)
{
    if (QtOwnAccessibility::owns(element) || !accessibleOf(element))
        return {};
    return atspi::classList(attributesOf(element).value(QStringLiteral("class")));
}

std::optional<QString> AtspiAccessibility::text(const Element& element)
{
    if (QtOwnAccessibility::owns(element))
        return m_own.text(element);
    AtspiAccessible* node = accessibleOf(element);
    if (!node)
        return std::nullopt;
    switch (atspi::kindOf(factsOf(element))) {
    case Kind::textField:
    case Kind::textArea:
        if (auto text = atspi::text(node))
            return atspi::fieldValue(*text);
        return std::nullopt;
    case Kind::textCarrier:
    case Kind::heading:
        return nonEmpty(carriedText(element));
    default:
        return std::nullopt;
    }
}

std::optional<QString> AtspiAccessibility::documentUrl(const Element& element)
{
    AtspiAccessible* node = QtOwnAccessibility::owns(element) ? nullptr : accessibleOf(element);
    // Chromium lets every node answer the Document interface: only the web area has the URL.
    if (!node || atspi::kindOf(factsOf(element)) != Kind::webArea)
        return std::nullopt;
    return atspi::documentUrl(node, attributesOf(element));
}

std::optional<Element> AtspiAccessibility::labelledBy(const Element& element)
{
    if (QtOwnAccessibility::owns(element))
        return m_own.labelledBy(element);
    AtspiAccessible* node = accessibleOf(element);
    Element label = node ? adoptElement(atspi::labelledBy(node).release()) : Element();
    if (label.isNull())
        return std::nullopt;
    // When static-text children carry the label's words, the first of them is the label element,
    // so that its text holds the words.
    if (textInChildren(label))
        for (GObjectPtr<AtspiAccessible>& child : atspi::children(accessibleOf(label)))
            if (atspi::role(child.get()) == ATSPI_ROLE_STATIC)
                return adoptElement(child.release());
    return label;
}

std::optional<Element> AtspiAccessibility::focusedWindow(const Element& application)
{
    if (QtOwnAccessibility::owns(application))
        return m_own.focusedWindow(application);
    AtspiAccessible* node = accessibleOf(application);
    return node ? present(adoptElement(atspi::activeWindow(node).release())) : std::nullopt;
}

std::optional<Element> AtspiAccessibility::parent(const Element& element)
{
    if (QtOwnAccessibility::owns(element))
        return m_own.parent(element);
    AtspiAccessible* node = accessibleOf(element);
    if (!node)
        return std::nullopt;
    GObjectPtr<AtspiAccessible> parent = atspi::parent(node);
    // Above an application sits the desktop, which no caller means by "parent".
    if (!parent || atspi::role(parent.get()) == ATSPI_ROLE_DESKTOP_FRAME)
        return std::nullopt;
    return present(adoptElement(parent.release()));
}

QList<Element> AtspiAccessibility::children(const Element& element)
{
    if (QtOwnAccessibility::owns(element))
        return m_own.children(element);
    QList<Element> result;
    AtspiAccessible* node = accessibleOf(element);
    if (!node)
        return result;
    // Inline markup already stands in its paragraph's text.
    const bool skipInline = inlinesChildren(element);
    for (GObjectPtr<AtspiAccessible>& child : atspi::children(node)) {
        if (skipInline && atspi::role(child.get()) == ATSPI_ROLE_STATIC)
            continue;
        Element handle = adoptElement(child.release());
        if (!handle.isNull())
            result.append(std::move(handle));
    }
    return result;
}

std::optional<Rect> AtspiAccessibility::screenFrame(const Element& element)
{
    const bool own = QtOwnAccessibility::owns(element);
    const bool windowRelative = m_frontmost->windowRelativeExtents();
    if (own && !windowRelative)
        return m_own.screenFrame(element);
    std::optional<atspi::Extents> extents;
    if (own)
        extents = ownPlacedOnScreen(element);
    else if (AtspiAccessible* node = accessibleOf(element))
        extents = windowRelative ? placedOnScreen(node, element) : atspi::extents(node);
    if (!extents || !atspi::isFrame(*extents))
        return std::nullopt;
    return Rect{extents->x, extents->y, extents->width, extents->height};
}

// Our own windows know where their elements are inside them, as Qt lays them out; Qt draws no
// shadow around them, so the window's content starts where its surface does.
std::optional<atspi::Extents> AtspiAccessibility::ownPlacedOnScreen(const Element& element)
{
    const std::optional<QtOwnAccessibility::PlaceInWindow> place = m_own.placeInWindow(element);
    const std::optional<atspi::Extents> content =
        place ? m_frontmost->windowContent(QtOwnAccessibility::processId(), place->windowTitle, {})
              : std::nullopt;
    if (!content)
        return std::nullopt;
    const QRect& rect = place->rect;
    return placeOnScreen(*content, {rect.x(), rect.y(), rect.width(), rect.height()}, {},
                         m_frontmost->windowScale(QtOwnAccessibility::processId()));
}

std::optional<atspi::Extents> AtspiAccessibility::placedOnScreen(AtspiAccessible* node,
                                                                 const Element& element)
{
    const std::optional<atspi::Extents> inSurface = atspi::extents(node, atspi::Coordinates::window);
    if (!inSurface || !atspi::isFrame(*inSurface))
        return inSurface;
    // The window's own accessible starts where the content the compositor places begins; what lies
    // before it in the surface (a client-side shadow) is not part of the window on the screen.
    const GObjectPtr<AtspiAccessible> window = atspi::toplevelWindow(node);
    const std::optional<atspi::Extents> windowFrame =
        window ? atspi::extents(window.get(), atspi::Coordinates::window) : std::nullopt;
    if (!windowFrame || !atspi::isFrame(*windowFrame))
        return std::nullopt;
    const std::optional<atspi::Extents> content =
        m_frontmost->windowContent(processId(element), atspi::name(window.get()), *windowFrame);
    if (!content)
        return std::nullopt;
    return placeOnScreen(*content, *inSurface, *windowFrame, m_frontmost->windowScale(processId(element)));
}

bool AtspiAccessibility::framePending(const Element& element)
{
    AtspiAccessible* node = accessibleOf(element);
    if (!node)
        return false;
    const std::optional<atspi::Extents> extents = atspi::extents(node);
    return extents && atspi::isFramePending(*extents) && atspi::hasState(node, ATSPI_STATE_FOCUSED);
}

quint64 AtspiAccessibility::documentLoads()
{
    return m_focus ? m_focus->documentLoads() : 0;
}

std::optional<Element> AtspiAccessibility::focusedElement()
{
    const qint64 pid = m_frontmost->pid();
    if (pid == QtOwnAccessibility::processId())
        return m_own.focusedElement();
    if (!m_focus || pid <= 0)
        return std::nullopt;
    // The application element of the front process is kept between ticks; it is looked up again
    // only when it stops answering (the process went away, its pid was reused).
    auto known = m_applicationByPid.find(pid);
    if (known == m_applicationByPid.end()) {
        if (std::optional<Element> application = applicationElement(pid))
            known = m_applicationByPid.insert(pid, *application);
    }
    if (known != m_applicationByPid.end()) {
        if (Element focused = m_focus->focusedIn(accessibleOf(known.value())); !focused.isNull())
            return focused;
        m_applicationByPid.erase(known);
    }
    // Like asking the whole system: the last element that gained the focus, wherever it lives,
    // unless that is one of our own windows as the bus sees it. That is ruled out first: asked over
    // the bus whether it has the focus, our own element would be answered by this very thread,
    // which waits for the answer until the call times out.
    const Element& last = m_focus->lastFocusEvent();
    if (last.isNull() || processId(last) == QtOwnAccessibility::processId() ||
        !atspi::hasState(accessibleOf(last), ATSPI_STATE_FOCUSED))
        return std::nullopt;
    return last;
}

std::optional<RunningApplication> AtspiAccessibility::frontmostApplication()
{
    return m_frontmost->application();
}

std::optional<Element> AtspiAccessibility::applicationElement(qint64 pid)
{
    if (pid == QtOwnAccessibility::processId())
        return m_own.applicationElement();
    if (!m_runtime.available() || pid <= 0)
        return std::nullopt;
    GObjectPtr<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (!desktop)
        return std::nullopt;
    for (GObjectPtr<AtspiAccessible>& application : atspi::children(desktop.get())) {
        Element handle = adoptElement(application.release());
        if (!handle.isNull() && processId(handle) == pid) {
            // Chromium keeps its tree empty until it sees a client use it, and a read of the
            // application's object attributes counts as use (a role read does not).
            attributesOf(handle);
            return handle;
        }
    }
    return std::nullopt;
}

qint64 AtspiAccessibility::processId(const Element& element)
{
    if (QtOwnAccessibility::owns(element))
        return QtOwnAccessibility::processId();
    AtspiAccessible* node = accessibleOf(element);
    if (!node)
        return 0;
    const QString bus = busOf(element);
    if (auto known = m_pidByBus.constFind(bus); known != m_pidByBus.cend())
        return known.value();
    const qint64 pid = atspi::processId(node);
    if (pid > 0)
        m_pidByBus.insert(bus, pid);
    return pid;
}

void AtspiAccessibility::setFocused(const Element& element)
{
    if (QtOwnAccessibility::owns(element))
        return m_own.setFocused(element);
    if (AtspiAccessible* node = accessibleOf(element))
        atspi::grabFocus(node);
}

void AtspiAccessibility::prepareAccessibility(const RunningApplication& application)
{
    // On Linux one session-wide switch makes every application expose its content; Chromium and
    // Qt applications read it when they start, Firefox at once. It is turned on at the first
    // preparation only: later ones come with every change of active application, and a hung bus
    // must not stall each of them. Looking the application up wakes Chromium's tree.
    if (!m_switchTried) {
        m_switchTried = true;
        AccessibilityEnabling::enable(&m_pendingChecks, [](bool) {});
    }
    applicationElement(application.pid);
}

bool AtspiAccessibility::isTrusted()
{
    return m_canType && AccessibilityEnabling::isEnabled();
}

void AtspiAccessibility::checkTrusted(std::function<void(bool)> answer)
{
    if (!m_canType) {
        answer(false);
        return;
    }
    AccessibilityEnabling::checkEnabled(&m_pendingChecks, std::move(answer));
}

} // namespace tessary
