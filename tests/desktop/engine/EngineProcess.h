#pragma once

#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <optional>

namespace tessary::test {

// `tessary-inspect engine --backend URL` as a child process with settings of its own, read line by
// line as it prints the engine's events; stopped (by its own pid) when the object goes.
class EngineProcess {
public:
    explicit EngineProcess(const QString& backendUrl);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    bool started() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }

    // Runs the event loop until the engine prints a line that matches; every line read meanwhile
    // goes to `printed()`. The matching line, or nothing when the time is up.
    std::optional<QJsonObject> waitFor(const std::function<bool(const QJsonObject&)>& matches,
                                       std::chrono::milliseconds timeout);
    std::optional<QJsonObject> waitForChip(const QString& state, std::chrono::milliseconds timeout);
    // Every line read so far and what the engine wrote to stderr, for failure messages.
    std::string printed();

    // The chip's window when it is mapped: top-left screen coordinates, from the X server. On sway
    // the chip is a layer surface, in no window list: it is where the screen differs from the shot
    // taken as the engine started, so a case that looks for it there starts the engine once its page
    // shows and has the focus where it wants it.
    std::optional<QRect> chipWindow() const;

private:
    QImage m_screenBefore;
    QTemporaryDir m_config;
    QProcess m_process;
    QStringList m_lines;
};

} // namespace tessary::test
