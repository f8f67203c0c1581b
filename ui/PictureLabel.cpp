#include "PictureLabel.h"

#include "FocusMark.h"

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
  PaintFocusMark(this, contentsRect().adjusted(1, 1, -1, -1));
}
