#pragma once

#include <QLabel>

// A picture that takes the keyboard focus, and shows that it has it with the style's
// focus rectangle.
class PictureLabel : public QLabel {
 public:
  PictureLabel(QWidget* parent, const QString& name, const QPixmap& picture);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
