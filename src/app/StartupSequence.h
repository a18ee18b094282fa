#pragma once

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

namespace tessary {

// Runs the jobs of a start one per turn of the event loop, in the order they were added, so that
// no single turn puts the whole application together: between two jobs the loop paints, takes
// input and answers the desktop. A job may add further jobs; they run after those already waiting.
class StartupSequence : public QObject {
public:
    explicit StartupSequence(QObject* parent = nullptr);

    // Adds `job` after the jobs already waiting; with none waiting, it runs at the next turn.
    StartupSequence& then(std::function<void()> job);

private:
    void runNext();

    std::deque<std::function<void()>> m_jobs;
    // A timer, not a posted call: it fires only once the events already waiting have been served,
    // those the last job posted (layouts, paints) included.
    QTimer m_next;
};

} // namespace tessary
