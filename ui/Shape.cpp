#include "Shape.h"

#include <QPainter>

Shape::Shape(QWidget* parent, const QString& name, const QRect& geometry,
             std::optional<QColor> fill, std::optional<QColor> outline)
    : QWidget(parent), fill_(fill), outline_(outline) {
  setObjectName(name);
  setGeometry(geometry);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

// Drawn in device pixels, so that the outline is one whole pixel on each of the four sides
// at any scale factor: a pen on a fractional scale can fall between two rows of pixels. The
// edges are where the window's own rounding puts them, so that two shapes side by side meet
// without a gap and none is cut by its own clip.
void Shape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRectF exact = painter.deviceTransform().mapRect(QRectF(rect()));
  painter.setWorldTransform(painter.deviceTransform().inverted(), true);
  const QRect whole(QPoint(qRound(exact.left()), qRound(exact.top())),
                    QPoint(qRound(exact.right()) - 1, qRound(exact.bottom()) - 1));
  if (fill_) painter.fillRect(whole, *fill_);
  if (!outline_ || whole.width() < 1 || whole.height() < 1) return;
  painter.fillRect(QRect(whole.left(), whole.top(), whole.width(), 1), *outline_);
  painter.fillRect(QRect(whole.left(), whole.bottom(), whole.width(), 1), *outline_);
  painter.fillRect(QRect(whole.left(), whole.top(), 1, whole.height()), *outline_);
  painter.fillRect(QRect(whole.right(), whole.top(), 1, whole.height()), *outline_);
}
