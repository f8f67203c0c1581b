#pragma once

#include <QRect>

class QWidget;

// Paints the style's focus rectangle over `rect` of `widget`, when it has the focus.
void PaintFocusMark(QWidget* widget, const QRect& rect);
