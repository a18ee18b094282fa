#include "app/StallWatch.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace tessary {

namespace {

constexpr int tickMs = 5;
constexpr qsizetype reportWidth = 120;

// The second field of schedstat: nanoseconds this thread has spent runnable but waiting for a CPU.
qint64 readyNs(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = file.readLine().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : 0;
}

} // namespace

StallWatch::StallWatch(QString reportPath)
    : m_report(std::move(reportPath))
    , m_schedulerStats(QStringLiteral("/proc/self/task/%1/schedstat").arg(long(syscall(SYS_gettid))))
{
    m_report.open(QIODevice::WriteOnly | QIODevice::Truncate);
    m_sinceStart.start();
    m_lastReadyNs = readyNs(m_schedulerStats);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(tickMs);
    connect(&m_timer, &QTimer::timeout, this, &StallWatch::tick);
    m_timer.start();
    m_reportTimer.setInterval(1000);
    connect(&m_reportTimer, &QTimer::timeout, this, &StallWatch::report);
    m_reportTimer.start();
}

void StallWatch::tick()
{
    const qint64 now = m_sinceStart.elapsed();
    const qint64 late = now - m_lastTick - tickMs;
    const qint64 ready = readyNs(m_schedulerStats);
    const qint64 own = late - (ready - m_lastReadyNs) / 1'000'000;
    if (late > m_longest) {
        m_longest = late;
        m_longestAt = now;
    }
    if (own > m_longestOwn) {
        m_longestOwn = own;
        m_longestOwnAt = now;
    }
    m_lastTick = now;
    m_lastReadyNs = ready;
}

void StallWatch::report()
{
    // Overwritten in place, padded to one length, so a reader finds one whole line: renaming a new
    // file over it, or QSaveFile's fdatasync, waited for a busy disk on this thread (for up to
    // 370 ms), and that was then the longest stall reported.
    QByteArray line =
        QStringLiteral("longest stall %1 ms after %2 s; without waiting for a CPU %3 ms after %4 s")
            .arg(m_longest)
            .arg(double(m_longestAt) / 1000, 0, 'f', 1)
            .arg(m_longestOwn)
            .arg(double(m_longestOwnAt) / 1000, 0, 'f', 1)
            .toUtf8();
    line = line.leftJustified(reportWidth) + '\n';
    if (m_report.isOpen() && m_report.seek(0))
        m_report.write(line);
    m_report.flush();
}

} // namespace tessary
