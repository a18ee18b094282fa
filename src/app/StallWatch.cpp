#include "app/StallWatch.h"

#include <QSaveFile>

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
    QSaveFile file(m_reportPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral("longest stall %1 ms after %2 s\n")
                   .arg(m_longest)
                   .arg(double(m_longestAt) / 1000, 0, 'f', 1)
                   .toUtf8());
    file.commit();
}

} // namespace tessary
