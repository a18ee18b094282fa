#include "platform/freedesktop/StopSignals.h"

#include "common/Logging.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace tessary {

namespace {

constexpr std::array stopSignals{SIGTERM, SIGINT, SIGHUP};

// The handler only writes the signal's number down a pipe the event loop watches: nothing else is
// safe to do inside it.
int wakePipe[2] = {-1, -1};
std::array<struct sigaction, stopSignals.size()> previousActions{};

void noteSignal(int signal)
{
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &number, 1);
    errno = savedErrno;
}

} // namespace

StopSignals::StopSignals(std::function<void(int)> stop, QObject* parent)
    : QObject(parent)
    , m_stop(std::move(stop))
{
    if (wakePipe[0] >= 0 || ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(logDesktop) << "Stop signals stay fatal: no pipe to hear them on:" << std::strerror(errno);
        return;
    }
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A signal ignored from the start (nohup's SIGHUP, SIGINT in a script's background job) stays
    // ignored, as whoever started the process asked.
    for (std::size_t index = 0; index < stopSignals.size(); ++index) {
        sigaction(stopSignals[index], nullptr, &previousActions[index]);
        if (previousActions[index].sa_handler != SIG_IGN)
            sigaction(stopSignals[index], &action, nullptr);
    }
    m_installed = true;

    m_notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        if (::read(wakePipe[0], &number, 1) != 1)
            return;
        m_notifier->setEnabled(false);
        restorePreviousHandling();
        m_stop(number);
    });
}

StopSignals::~StopSignals()
{
    restorePreviousHandling();
    if (!m_notifier)
        return;
    delete m_notifier;
    ::close(wakePipe[0]);
    ::close(wakePipe[1]);
    wakePipe[0] = wakePipe[1] = -1;
}

void StopSignals::restorePreviousHandling()
{
    if (!std::exchange(m_installed, false))
        return;
    for (std::size_t index = 0; index < stopSignals.size(); ++index)
        sigaction(stopSignals[index], &previousActions[index], nullptr);
}

} // namespace tessary
