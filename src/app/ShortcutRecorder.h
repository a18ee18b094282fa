#pragma once

#include <QWidget>

class QKeyEvent;
class QLabel;
class QPushButton;

namespace tessary {

class AppState;

// The "Fill newest code" control: shows the shortcut, records a new one from the next key press
// with Ctrl, Alt or Super, resets it or turns it off. While it records, the global grab is given
// up, so pressing the current combination reaches the recorder and fills nothing.
class ShortcutRecorder : public QWidget {
    Q_OBJECT
public:
    explicit ShortcutRecorder(AppState& state, QWidget* parent = nullptr);
    ~ShortcutRecorder() override;

    bool recording() const { return m_recording; }
    void start();
    void stop();
    // One key press while recording; every press is swallowed.
    void handleKey(const QKeyEvent& event);

    QPushButton& button() const { return *m_button; }
    QPushButton& reset() const { return *m_reset; }
    QLabel& caption() const { return *m_caption; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();

    AppState& m_state;
    bool m_recording = false;
    bool m_monitoring = false;
    QPushButton* m_button;
    QPushButton* m_reset;
    QLabel* m_caption;
};

} // namespace tessary
