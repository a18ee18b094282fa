#pragma once

#include <utility>
#include <variant>

namespace tessary {

// The error side of an Expected, spelled out at the return site: `return Unexpected{error};`.
template <class E>
struct Unexpected {
    E error;
};
template <class E>
Unexpected(E) -> Unexpected<E>;

// A value or the failure that stands in its place. Failures travel as values, so every caller
// sees at the type that an operation can fail and must say what the user is shown instead.
template <class T, class E>
class Expected {
public:
    Expected(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    template <class G>
    Expected(Unexpected<G> failure)
        : m_state(std::in_place_index<1>, std::move(failure.error))
    {
    }

    bool hasValue() const { return m_state.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const E& error() const { return std::get<1>(m_state); }

    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

private:
    std::variant<T, E> m_state;
};

// An operation that returns nothing when it succeeds.
struct Done {};

} // namespace tessary
