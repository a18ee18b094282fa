#pragma once

#include "analysis/FoundCode.h"

#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;

namespace tessary {

class Clock;

// One recent code in the popover: its display form, where it came from, its age. A click copies
// it and says "Copied" for a moment; the pointer over it says "Click to copy".
class CodeRow : public QWidget {
    Q_OBJECT
public:
    CodeRow(FoundCode code, Clock& clock, std::function<void()> copy, QWidget* parent = nullptr);

    bool hovering() const { return m_hovering; }
    bool copied() const { return m_copied; }
    void setHovering(bool on);
    // What a click does: copy, say so, and go back 1.2 s later.
    void click();
    QString codeText() const;
    QString secondText() const;
    QString ageText() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();
    void refreshAge();

    FoundCode m_code;
    Clock& m_clock;
    std::function<void()> m_copy;
    bool m_hovering = false;
    bool m_copied = false;
    QLabel* m_codeLabel;
    QLabel* m_second;
    QLabel* m_age;
    QTimer m_ageTimer;
};

// A quiet text button of the popover's footer that lights up under the pointer.
class FooterButton : public QPushButton {
    Q_OBJECT
public:
    FooterButton(const QString& title, std::function<void()> action, QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restyle();
};

} // namespace tessary
