#pragma once

#include <QColor>
#include <QPalette>

namespace tessary {

// The palette a dark desktop hands a Qt application: Breeze Dark as the Plasma platform theme sets
// it (Adwaita-dark through a GNOME platform theme is much the same). The picture tools draw with it
// to show the windows and the chip as users of a dark colour scheme see them, and tests check with
// it that a colour reads on both kinds of window.
inline QPalette darkDesktopPalette()
{
    QPalette palette;
    const auto set = [&](QPalette::ColorRole role, QColor active, QColor disabled) {
        palette.setColor(QPalette::Active, role, active);
        palette.setColor(QPalette::Inactive, role, active);
        palette.setColor(QPalette::Disabled, role, disabled);
    };
    const QColor text(252, 252, 252);
    const QColor disabledText(110, 115, 120);
    set(QPalette::Window, QColor(42, 46, 50), QColor(42, 46, 50));
    set(QPalette::WindowText, text, disabledText);
    set(QPalette::Base, QColor(27, 30, 32), QColor(30, 33, 35));
    set(QPalette::AlternateBase, QColor(35, 38, 41), QColor(35, 38, 41));
    set(QPalette::Text, text, disabledText);
    set(QPalette::PlaceholderText, QColor(161, 169, 177), disabledText);
    set(QPalette::Button, QColor(49, 54, 59), QColor(45, 49, 53));
    set(QPalette::ButtonText, text, disabledText);
    set(QPalette::BrightText, QColor(255, 255, 255), QColor(255, 255, 255));
    set(QPalette::Light, QColor(64, 70, 76), QColor(64, 70, 76));
    set(QPalette::Midlight, QColor(54, 59, 64), QColor(54, 59, 64));
    set(QPalette::Mid, QColor(33, 36, 39), QColor(33, 36, 39));
    set(QPalette::Dark, QColor(24, 26, 28), QColor(24, 26, 28));
    set(QPalette::Shadow, QColor(14, 15, 16), QColor(14, 15, 16));
    set(QPalette::Highlight, QColor(61, 174, 233), QColor(61, 66, 71));
    set(QPalette::HighlightedText, text, disabledText);
    set(QPalette::ToolTipBase, QColor(49, 54, 59), QColor(49, 54, 59));
    set(QPalette::ToolTipText, text, text);
    set(QPalette::Link, QColor(29, 153, 243), QColor(29, 153, 243));
    set(QPalette::LinkVisited, QColor(155, 89, 182), QColor(155, 89, 182));
    return palette;
}

} // namespace tessary
