#include "Announcer.h"

Announcer::Announcer(QWidget* parent) : QWidget(parent) {
  setObjectName("Announcer");
  setGeometry(0, 0, 1, 1);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  hide();
}

void Announcer::Say(const QString& text) {
  setAccessibleName(text);
  // A screen reader speaks a notification as it comes to be shown.
  hide();
  show();
}
