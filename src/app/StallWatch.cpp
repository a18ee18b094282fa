#include "app/StallWatch.h"

#include <QFile>

#include <cstdio>

namespace tessary {

namespace {
constexpr int tickMs = 5;
} // namespace

StallWatch::StallWatch(QString reportPath)
    : m_reportPath(std::move(reportPath))
{
    m_sinceStart.start();
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
    if (late > m_longest) {
        m_longest = late;
        m_longestAt = now;
    }
    m_lastTick = now;
}

void StallWatch::report() const
{
    // Written beside and renamed over, so a reader never sees half a line; not through QSaveFile,
    // whose commit waits for the disk (fdatasync) on this thread: under a busy disk that stalled
    // the loop for up to 370 ms, the longest stall it then reported.
    const QString written = m_reportPath + QStringLiteral(".new");
    QFile file(written);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(QStringLiteral("longest stall %1 ms after %2 s\n")
                   .arg(m_longest)
                   .arg(double(m_longestAt) / 1000, 0, 'f', 1)
                   .toUtf8());
    file.close();
    std::rename(QFile::encodeName(written).constData(), QFile::encodeName(m_reportPath).constData());
}

} // namespace tessary
