#pragma once

#include <QString>

#include <memory>

namespace tessary {

// An opaque, cheaply copyable handle to a user-interface element of some process. Two handles are
// the same element when their identities are equal (on AT-SPI: bus name and object path). The
// accessibility implementation that made a handle is the only one that looks inside it.
class Element {
public:
    Element() = default;
    Element(std::shared_ptr<const void> object, QString identity)
        : m_object(std::move(object))
        , m_identity(std::move(identity))
    {
    }

    bool isNull() const { return m_identity.isEmpty(); }
    const QString& identity() const { return m_identity; }

    // The implementation's own object behind the handle.
    template <class T>
    const T* as() const
    {
        return static_cast<const T*>(m_object.get());
    }

    friend bool operator==(const Element& a, const Element& b) { return a.m_identity == b.m_identity; }

private:
    std::shared_ptr<const void> m_object;
    QString m_identity;
};

} // namespace tessary
