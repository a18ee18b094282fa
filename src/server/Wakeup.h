#pragma once

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <coroutine>
#include <memory>

namespace tessary::server {

// A flag raised once, from any thread, that ends at once every Wakeup naming it on any thread: a
// stop request, or word that work done elsewhere has finished.
class WakeFlag : public QObject {
    Q_OBJECT
public:
    bool isRaised() const { return m_raised.load(); }
    void raise()
    {
        m_raised = true;
        Q_EMIT raised();
    }

Q_SIGNALS:
    void raised();

private:
    std::atomic<bool> m_raised{false};
};

// What a Wakeup connects its signals to; lives on the waiting coroutine's thread.
class Waker final : public QObject {
public:
    void arm(std::coroutine_handle<> waiting, std::chrono::milliseconds timeout);
    void fire();

private:
    std::coroutine_handle<> m_waiting;
    QTimer m_timer{this};
};

// `co_await Wakeup(stop, timeout).on(socket, &QIODevice::readyRead)` suspends the coroutine until
// one of the signals named with on() is emitted, the timeout passes or `stop` is raised; the
// caller then looks again at what changed. The coroutine resumes from the event loop, never inside
// the signal, so it may delete the object that emitted it.
class Wakeup final {
public:
    Wakeup(const WakeFlag* stop, std::chrono::milliseconds timeout);

    template <class Sender, class Signal>
    Wakeup& on(const Sender* sender, Signal signal)
    {
        QObject::connect(sender, signal, m_waker.get(), [waker = m_waker.get()] { waker->fire(); });
        return *this;
    }

    bool await_ready() const noexcept { return m_stop && m_stop->isRaised(); }
    void await_suspend(std::coroutine_handle<> waiting) { m_waker->arm(waiting, m_timeout); }
    void await_resume() const noexcept {}

private:
    const WakeFlag* m_stop;
    std::chrono::milliseconds m_timeout;
    std::shared_ptr<Waker> m_waker; // shared with the copy co_await may make
};

} // namespace tessary::server
