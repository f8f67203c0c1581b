#pragma once

#include <QObject>

class QAbstractButton;

// Gives a button the keys of the platform that the window follows: Enter presses the
// focused button as Space does, and an access key clicks it at once rather than after a
// short animation, so that the command takes effect at the moment of the key.
class ButtonKeys : public QObject {
 public:
  explicit ButtonKeys(QObject* parent) : QObject(parent) {}

  void Watch(QAbstractButton* button);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};
