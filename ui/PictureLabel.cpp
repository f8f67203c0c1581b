#include "PictureLabel.h"

#include <QStyleOptionFocusRect>
#include <QStylePainter>

PictureLabel::PictureLabel(QWidget* parent, const QString& name, const QPixmap& picture)
    : QLabel(parent) {
  setPixmap(picture);
  setAccessibleName(name);
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setAlignment(Qt::AlignCenter);
  setFocusPolicy(Qt::StrongFocus);
}

void PictureLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QStylePainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  option.rect = contentsRect().adjusted(1, 1, -1, -1);
  painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}
