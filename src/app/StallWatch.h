#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

namespace tessary {

// Measures how long the main thread goes without serving its event loop: a 5 ms timer that
// notes how late each of its ticks comes. Made only when TESSARY_STALL_REPORT names a file, which
// then holds the longest stall so far, rewritten every second ("longest stall 12 ms after 3.2 s").
// For scripts/measure-stalls; a user's Tessary never makes one.
class StallWatch : public QObject {
public:
    explicit StallWatch(QString reportPath);

private:
    void tick();
    void report() const;

    QString m_reportPath;
    QTimer m_timer;
    QTimer m_reportTimer;
    QElapsedTimer m_sinceStart;
    qint64 m_lastTick = 0;
    qint64 m_longest = 0;
    qint64 m_longestAt = 0;
};

} // namespace tessary
