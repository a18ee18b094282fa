#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QString>

class QWidget;

namespace tessary::look {

// The colours and type sizes every window shares, so the popover, settings and onboarding read as
// one application whatever the desktop's theme. A tone is a colour taken from the palette a widget
// sits in; a widget coloured with one keeps to it when the desktop switches between a light and a
// dark colour scheme while Tessary runs.
using Tone = QColor (*)(const QPalette& palette);
QColor primary(const QPalette& palette);
QColor secondary(const QPalette& palette);
QColor accent(const QPalette& palette);
// Errors' red, "Granted"'s green and warnings' orange: deep on a light window, light on a dark one,
// each reading at a contrast of 4.5:1 or more on the window.
QColor red(const QPalette& palette);
QColor green(const QPalette& palette);
QColor orange(const QPalette& palette);

// The widget's font at `pixelSize`, with `weight`.
QFont font(const QWidget* widget, int pixelSize, QFont::Weight weight = QFont::Normal);
QFont monospace(int pixelSize, QFont::Weight weight = QFont::Normal);

// A label in `tone`; with `wrap` it breaks into lines at its width.
QLabel* label(const QString& text, int pixelSize, Tone tone, QWidget* parent = nullptr, bool wrap = false);
// Colours the widget's text in `tone`, in place of the tone it had.
void setColour(QWidget* widget, Tone tone);
// A thin horizontal line between parts of a window.
QWidget* divider(QWidget* parent = nullptr);

} // namespace tessary::look

namespace tessary {

// A one-line label that, given less room than its text needs, shortens the text in its middle
// with an ellipsis instead of cutting it off at its edge.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // The text as drawn.
    QString shownText() const;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tessary
