#include "ClickLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "FocusMark.h"

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) { setFocusPolicy(Qt::StrongFocus); }

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
  QLabel::mouseReleaseEvent(event);
}

void ClickLabel::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space) {
    return QLabel::keyPressEvent(event);
  }
  emit clicked();
}

void ClickLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  PaintFocusMark(this, rect());
}
