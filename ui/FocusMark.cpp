#include "FocusMark.h"

#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QWidget>

void PaintFocusMark(QWidget* widget, const QRect& rect) {
  if (!widget->hasFocus()) return;
  QStylePainter painter(widget);
  QStyleOptionFocusRect option;
  option.initFrom(widget);
  option.rect = rect;
  painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}
