#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

namespace tessary {

// Measures how long the main thread goes without serving its event loop: a 5 ms timer that
// notes how late each of its ticks comes. Made only when TESSARY_STALL_REPORT names a file, which
// then holds the longest stall so far, rewritten every second, and the longest once the time the
// thread stood ready while other processes had every CPU is taken out: what Tessary's own work
// and waits cost ("longest stall 120 ms after 3.2 s; without waiting for a CPU 14 ms after 0.1 s").
// For scripts/measure-stalls; a user's Tessary never makes one.
class StallWatch : public QObject {
public:
    explicit StallWatch(QString reportPath);

private:
    void tick();
    void report();

    QFile m_report;
    QString m_schedulerStats; // this thread's /proc schedstat: its time ready but not running
    QTimer m_timer;
    QTimer m_reportTimer;
    QElapsedTimer m_sinceStart;
    qint64 m_lastTick = 0;
    qint64 m_lastReadyNs = 0;
    qint64 m_longest = 0;
    qint64 m_longestAt = 0;
    qint64 m_longestOwn = 0;
    qint64 m_longestOwnAt = 0;
};

} // namespace tessary
