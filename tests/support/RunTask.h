#pragma once

#include <QCoro/QCoroTask>

#include <optional>

namespace tessary::test {

namespace detail {
// waitFor needs a default-constructible result; Expected has none, so the result travels in an
// optional that is always filled.
template <class T>
QCoro::Task<std::optional<T>> inOptional(QCoro::Task<T> task)
{
    co_return co_await std::move(task);
}
} // namespace detail

// Runs a coroutine to completion on the test's event loop and hands back its result.
template <class T>
T runTask(QCoro::Task<T>&& task)
{
    return *QCoro::waitFor(detail::inOptional(std::move(task)));
}
inline void runTask(QCoro::Task<>&& task)
{
    QCoro::waitFor(std::move(task));
}

} // namespace tessary::test
