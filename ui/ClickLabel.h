#pragma once

#include <QLabel>

// A label that is a link: it takes the keyboard focus and shows it, and reports a click of
// the left mouse button, or Enter or Space while it has the focus.
class ClickLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ClickLabel(QWidget* parent);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};
