#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QString>

class QWidget;

namespace tessary::look {

// The colours and type sizes every window shares, so the popover, settings and onboarding read as
// one application whatever the desktop's theme.
QColor secondary(const QPalette& palette);
QColor accent(const QPalette& palette);
inline QColor orange()
{
    return QColor(0xE8, 0x7A, 0x00);
}
// Errors' red: deep on a light window, lighter on a dark one, where the deep red is too dim to read.
QColor red(const QPalette& palette);
inline QColor green()
{
    return QColor(0x2E, 0x9A, 0x3E);
}

// The widget's font at `pixelSize`, with `weight`.
QFont font(const QWidget* widget, int pixelSize, QFont::Weight weight = QFont::Normal);
QFont monospace(int pixelSize, QFont::Weight weight = QFont::Normal);

// A label in `colour`; with `wrap` it breaks into lines at its width.
QLabel* label(const QString& text, int pixelSize, const QColor& colour, QWidget* parent = nullptr,
              bool wrap = false);
void setColour(QWidget* widget, const QColor& colour);
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
