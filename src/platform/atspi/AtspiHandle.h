#pragma once

#include "platform/atspi/AtspiVocabulary.h"
#include "screen/Element.h"

#include <QHash>
#include <QString>

#include <memory>
#include <optional>

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _GError GError;

namespace tessary {

// Owning pointers for what libatspi and GLib hand out. Every object, string and error a call
// returns is released by one of these, on every path.
struct GObjectUnref {
    void operator()(void* object) const;
};
struct GFree {
    void operator()(void* memory) const;
};
struct GErrorFree {
    void operator()(GError* error) const;
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;
using GCharPtr = std::unique_ptr<char, GFree>;
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

// Takes a C string libatspi returned (owned) into a QString, freeing it; null reads as none.
QString takeString(char* owned);

// What one handle has already learned about its node. Only facts that do not change while a
// handle lives (a walk makes new handles), never a field's value.
struct AtspiNodeCache {
    std::optional<QHash<QString, QString>> attributes;
    std::optional<atspi::NodeFacts> facts;
    std::optional<bool> textInChildren;
    std::optional<bool> inlinesChildren;
    std::optional<QString> rawText;
    std::optional<QString> carriedText;
};

// The object behind an Element made by the AT-SPI accessibility: one reference to the remote
// element, released with the last copy of the Element.
class AtspiElementObject {
public:
    explicit AtspiElementObject(AtspiAccessible* adopted)
        : m_accessible(adopted)
    {
    }
    AtspiAccessible* get() const { return m_accessible.get(); }
    AtspiNodeCache& cache() const { return m_cache; }

private:
    GObjectPtr<AtspiAccessible> m_accessible;
    mutable AtspiNodeCache m_cache;
};

// An Element for an accessible whose reference the caller hands over (adopted); a null or
// identity-less accessible gives a null Element.
Element adoptElement(AtspiAccessible* adopted);
// The same for an accessible the caller keeps its own reference to.
Element elementFor(AtspiAccessible* borrowed);
// The accessible behind an Element of ours; null for a null Element or one made elsewhere.
AtspiAccessible* accessibleOf(const Element& element);
AtspiNodeCache* cacheOf(const Element& element);
// (bus name, object path), the identity of a remote element.
QString identityOf(AtspiAccessible* accessible);

} // namespace tessary
