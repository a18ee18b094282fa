#pragma once

#include <QObject>

#include <memory>

namespace tessary {

// Cooperative cancellation of a task: the holder of the flag cancels, the task checks after every
// await and stops. Work in flight (a network reply, a sleep) listens to `cancelled` and ends early.
class CancelFlag : public QObject {
    Q_OBJECT
public:
    bool isCancelled() const { return m_cancelled; }
    void cancel()
    {
        if (m_cancelled)
            return;
        m_cancelled = true;
        emit cancelled();
    }

signals:
    void cancelled();

private:
    bool m_cancelled = false;
};

// Shared by the task and whoever may cancel it; null means "cannot be cancelled".
using CancelToken = std::shared_ptr<CancelFlag>;

inline CancelToken makeCancelToken()
{
    return std::make_shared<CancelFlag>();
}
inline bool isCancelled(const CancelToken& token)
{
    return token && token->isCancelled();
}

} // namespace tessary
