#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace tessary {

// The chip's type: the desktop's font, with sizes in device-independent pixels so the chip measures
// the same on every desktop whatever its DPI setting.
QFont chipFont(int pixelSize, QFont::Weight weight = QFont::Normal);
// A monospaced face for codes, so look-alike digits line up.
QFont chipCodeFont(int pixelSize, QFont::Weight weight);
// Text colour a step (secondary) or two (tertiary) quieter than the palette's window text.
QColor secondaryColor(const QWidget& widget);
QColor tertiaryColor(const QWidget& widget);

// The chip's call to action ("Fill", "Open"): white semibold label on the accent colour.
class AccentButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit AccentButton(const QString& label, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The small cross that dismisses the chip.
class CloseButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CloseButton(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A green check mark: the chip's "done".
class CheckMark : public QWidget {
    Q_OBJECT
public:
    explicit CheckMark(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {11, 11}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A small indeterminate spinner; it turns only while it is on screen.
class Spinner : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {12, 12}; }
    bool isSpinning() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};

// Text laid out at a fixed width and wrapped within it, breaking inside a word rather than cutting
// it off when one word is wider than the line.
class WrappedText : public QLabel {
    Q_OBJECT
public:
    // As wide as the text on one line in `font`, up to `widest`; past it, the text wraps.
    WrappedText(const QString& text, const QFont& font, int widest, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tessary
