#pragma once

#include <QWidget>

// Says a text to a screen reader at once, wherever the focus is: a notification that shows
// itself for it. Nothing of it is drawn.
class Announcer : public QWidget {
  Q_OBJECT

 public:
  explicit Announcer(QWidget* parent);

  void Say(const QString& text);

 protected:
  void paintEvent(QPaintEvent*) override {}
};
