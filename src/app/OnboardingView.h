#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace tessary {

struct AppContext;

// Four dots, the one for the step shown filled.
class StepDots : public QWidget {
public:
    StepDots(int count, QWidget* parent = nullptr);
    void setCurrent(int current);
    int current() const { return m_current; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_count;
    int m_current = 0;
};

// The first-run window: what Tessary does, connecting inboxes, turning on accessibility, and a
// practice field where the whole detect-show-fill cycle runs on a made-up code.
class OnboardingView : public QWidget {
    Q_OBJECT
public:
    static constexpr int stepCount = 4;

    OnboardingView(AppContext& context, std::function<void()> onDone, QWidget* parent = nullptr);

    int step() const { return m_step; }
    QPushButton& back() const { return *m_back; }
    QPushButton& primary() const { return *m_primary; }
    QLineEdit& practiceField() const { return *m_practice; }
    QLabel& success() const { return *m_success; }
    QPushButton& turnOn() const { return *m_turnOn; }
    QLabel& granted() const { return *m_granted; }
    QLabel& phone() const { return *m_phone; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Return presses the primary button, as a dialog's default button; the window is no dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void goTo(int step);
    void advance();
    void done();
    void refresh();

    AppContext& m_context;
    std::function<void()> m_onDone;
    int m_step = 0;
    QStackedWidget* m_steps;
    StepDots* m_dots;
    QPushButton* m_back;
    QPushButton* m_primary;
    QPushButton* m_turnOn = nullptr;
    QLabel* m_granted = nullptr;
    QLabel* m_accessNote = nullptr;
    bool m_accessFailed = false;     // the note tells why access could not be turned on
    QWidget* m_phoneBlock = nullptr; // what the phone adds, when there is a phone service
    QLabel* m_phone = nullptr;
    QLineEdit* m_practice = nullptr;
    QLabel* m_success = nullptr;
};

} // namespace tessary
