#pragma once

#include "backend/BackendApi.h"
#include "common/Cancellation.h"
#include "common/Clock.h"
#include "common/Timings.h"

#include <QObject>
#include <QSet>

#include <chrono>
#include <functional>

namespace tessary {

// The one fetch task at a time that the code and the link flow share: starting one cancels the one
// before. A burst looks at the mail once, then asks only for the ids of the mail since its start and
// looks again whenever a new one shows up, until the look has what it waited for, the deadline
// passes or the burst is cancelled. Main thread only.
class Burst : public QObject {
    Q_OBJECT
public:
    enum class Look { watchOn, done };            // what one look at the mail made of it
    enum class End { done, deadline, cancelled }; // why a watch ended, when no request failed
    // One look; `first` for the look at the start, else a look because new mail was noticed.
    using Looker = std::function<QCoro::Task<BackendResult<Look>>(bool first)>;

    Burst(BackendApi& backend, Clock& clock, Timings::ms idsPass);
    ~Burst() override;

    // Cancels the running task and gives the next one its token.
    CancelToken begin();
    void cancel();

    // Watches the mail since `since`, as described above. A failed request ends the watch with
    // its error. `look` must not outlive its owner; the burst never calls it after `cancel`.
    QCoro::Task<BackendResult<End>> watch(TimePoint since, std::chrono::steady_clock::time_point deadline,
                                          CancelToken cancel, Looker look);

private:
    QCoro::Task<BackendResult<QSet<QString>>> pollIds(TimePoint since, bool spaced, CancelToken cancel);
    QCoro::Task<BackendResult<std::optional<QSet<QString>>>>
    nextNewIds(TimePoint since, QSet<QString> known, std::chrono::steady_clock::time_point deadline,
               CancelToken cancel);

    BackendApi& m_backend;
    Clock& m_clock;
    Timings::ms m_idsPass;
    CancelToken m_running;
    std::chrono::steady_clock::time_point m_lastIdsPass = std::chrono::steady_clock::time_point::min();
};

} // namespace tessary
