#pragma once

#include <QCoro/QCoroTask>

namespace tessary::test {

// Runs a coroutine to completion on the test's event loop and hands back its result.
template <class T>
T runTask(QCoro::Task<T>&& task)
{
    return QCoro::waitFor(std::move(task));
}
inline void runTask(QCoro::Task<>&& task)
{
    QCoro::waitFor(std::move(task));
}

} // namespace tessary::test
