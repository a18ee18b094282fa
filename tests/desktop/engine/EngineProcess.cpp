#include "desktop/engine/EngineProcess.h"

#include "desktop/screen/DesktopDriver.h"

#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QRegularExpression>

namespace tessary::test {

namespace {

// The standard output of a short command, or nothing when it fails.
std::optional<QString> output(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput());
}

int number(const QString& text, const QString& label)
{
    const QRegularExpression pattern(QRegularExpression::escape(label) + QStringLiteral(":\\s*(-?\\d+)"));
    return pattern.match(text).captured(1).toInt();
}

} // namespace

EngineProcess::EngineProcess(const QString& backendUrl)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Settings of its own: nothing one run remembers (recent codes, the shortcut) reaches the next.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    m_process.setProcessEnvironment(environment);
    m_process.start(QStringLiteral(TESSARY_INSPECT),
                    {QStringLiteral("engine"), QStringLiteral("--backend"), backendUrl});
    m_process.waitForStarted(10000);
}

EngineProcess::~EngineProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

std::optional<QJsonObject> EngineProcess::waitFor(const std::function<bool(const QJsonObject&)>& matches,
                                                  std::chrono::milliseconds timeout)
{
    std::optional<QJsonObject> found;
    waitUntil(
        [&] {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                m_lines.append(QString::fromUtf8(line));
                const QJsonObject object = QJsonDocument::fromJson(line).object();
                if (matches(object)) {
                    found = object;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::optional<QJsonObject> EngineProcess::waitForChip(const QString& state, std::chrono::milliseconds timeout)
{
    return waitFor([&](const QJsonObject& line) { return line.value(QStringLiteral("chip")) == state; },
                   timeout);
}

std::string EngineProcess::printed()
{
    return (m_lines.join(QLatin1Char('\n')) + QStringLiteral("\nstderr:\n") +
            QString::fromUtf8(m_process.readAllStandardError()))
        .toStdString();
}

std::optional<QRect> EngineProcess::chipWindow() const
{
    const std::optional<QString> windows =
        output(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--pid"), QString::number(pid())});
    if (!windows || windows->trimmed().isEmpty())
        return std::nullopt;
    const QString window = windows->trimmed().section(QLatin1Char('\n'), 0, 0);
    const std::optional<QString> info = output(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    if (!info)
        return std::nullopt;
    return QRect(number(*info, QStringLiteral("Absolute upper-left X")),
                 number(*info, QStringLiteral("Absolute upper-left Y")),
                 number(*info, QStringLiteral("Width")), number(*info, QStringLiteral("Height")));
}

} // namespace tessary::test
