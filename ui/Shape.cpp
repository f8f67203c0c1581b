#include "Shape.h"

#include <QPainter>
#include <cmath>

Shape::Shape(QWidget* parent, const QString& name, const QRect& geometry,
             std::optional<QColor> fill, std::optional<QColor> outline)
    : QWidget(parent), fill_(fill), outline_(outline) {
  setObjectName(name);
  setGeometry(geometry);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

// Drawn in device pixels, so that the outline is one whole pixel on each of the four sides
// at any scale factor: a pen on a fractional scale can fall between two rows of pixels.
void Shape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const qreal ratio = devicePixelRatioF();
  painter.scale(1 / ratio, 1 / ratio);
  const QRect whole(0, 0, static_cast<int>(std::lround(width() * ratio)),
                    static_cast<int>(std::lround(height() * ratio)));
  if (fill_) painter.fillRect(whole, *fill_);
  if (!outline_ || whole.width() < 1 || whole.height() < 1) return;
  const int right = whole.width() - 1;
  const int bottom = whole.height() - 1;
  painter.fillRect(QRect(0, 0, whole.width(), 1), *outline_);
  painter.fillRect(QRect(0, bottom, whole.width(), 1), *outline_);
  painter.fillRect(QRect(0, 0, 1, whole.height()), *outline_);
  painter.fillRect(QRect(right, 0, 1, whole.height()), *outline_);
}
