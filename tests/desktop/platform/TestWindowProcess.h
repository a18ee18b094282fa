#pragma once

#include "desktop/screen/DesktopDriver.h"

#include <QHash>

namespace tessary::test {

// tessary-test-window as a child process, its top-left corner at `at` when given, and the frames
// (top-left screen pixels) its fields "code" and "free" report once shown; stopped by its pid.
class TestWindowProcess {
public:
    explicit TestWindowProcess(std::optional<QPoint> at = std::nullopt)
    {
        // The window stands in for another program: the scale this test's Qt may be given is not its.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_SCALE_FACTOR"));
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral(TESSARY_TEST_WINDOW),
                        at ? QStringList{"--at", QString::number(at->x()), QString::number(at->y())}
                           : QStringList());
        waitUntil(
            [this] {
                while (m_process.canReadLine()) {
                    const QStringList words = QString::fromUtf8(m_process.readLine()).trimmed().split(' ');
                    if (words.size() == 5)
                        fields.insert(words.at(0), Rect{words.at(1).toInt(), words.at(2).toInt(),
                                                        words.at(3).toInt(), words.at(4).toInt()});
                }
                return fields.size() == 2;
            },
            std::chrono::seconds(20));
    }
    ~TestWindowProcess() { stopChild(m_process); }
    TestWindowProcess(const TestWindowProcess&) = delete;
    TestWindowProcess& operator=(const TestWindowProcess&) = delete;

    qint64 pid() const { return m_process.processId(); }

    // Clicks the field and waits until the focused element has the frame the window reported; the
    // focused element, whatever its frame.
    std::optional<Element> click(Accessibility& accessibility, const QString& name) const
    {
        const Rect frame = fields.value(name);
        std::optional<Element> focused;
        if (clickAt(frame))
            waitUntil(
                [&] {
                    focused = accessibility.focusedElement();
                    return focused && accessibility.screenFrame(*focused) == frame;
                },
                std::chrono::seconds(10));
        return focused;
    }

    QHash<QString, Rect> fields;

private:
    QProcess m_process;
};

} // namespace tessary::test
