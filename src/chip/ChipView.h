#pragma once

#include "engine/ChipModel.h"

#include <QImage>
#include <QWidget>

class QAbstractButton;
class QHBoxLayout;

namespace tessary {

// The chip itself: one row drawn from the model's current state, rebuilt whenever it changes, on a
// rounded background. It always takes its ideal size; the panel around it follows.
class ChipView : public QWidget {
    Q_OBJECT
public:
    explicit ChipView(ChipModel& model, QWidget* parent = nullptr);

    // The chip as a picture of its own, transparent around its rounded shape: premultiplied ARGB,
    // `scale` device pixels to a pixel, every pixel at `opacity`. For surfaces Qt does not draw.
    QImage picture(qreal opacity, qreal scale);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuild();
    void add(QWidget* child);
    QWidget* textLabel(const QString& text, const QFont& font, const QColor& color);
    QWidget* button(QAbstractButton* made, std::function<void()> ChipModel::*callback);

    ChipModel& m_model;
    QHBoxLayout* m_row;
};

} // namespace tessary
