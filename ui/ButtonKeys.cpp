#include "ButtonKeys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QShortcutEvent>

void ButtonKeys::Watch(QAbstractButton* button) { button->installEventFilter(this); }

bool ButtonKeys::eventFilter(QObject* watched, QEvent* event) {
  auto* button = qobject_cast<QAbstractButton*>(watched);
  if (!button || !button->isEnabled()) return false;
  switch (event->type()) {
    case QEvent::Shortcut:
      // An ambiguous access key only moves the focus, as Qt has it.
      if (static_cast<QShortcutEvent*>(event)->isAmbiguous()) return false;
      break;
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
      if (key->modifiers() & ~Qt::KeypadModifier) return false;
      break;
    }
    default:
      return false;
  }
  button->click();
  return true;
}
