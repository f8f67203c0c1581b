#include "Shape.h"

#include <QPainter>

Shape::Shape(QWidget* parent, const QString& name, const QRect& geometry,
             std::optional<QColor> fill, std::optional<QColor> outline)
    : QWidget(parent), fill_(fill), outline_(outline) {
  setObjectName(name);
  setGeometry(geometry);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (fill_) painter.fillRect(rect(), *fill_);
  if (outline_) {
    painter.setPen(*outline_);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}
