#include "ValueLabel.h"

#include <QAccessible>

void ValueLabel::SetValue(const QString& value) {
  const QString old = text();
  if (old == value) return;
  setText(value);
  if (QAccessible::isActive()) {
    QAccessibleTextUpdateEvent changed(this, 0, old, value);
    QAccessible::updateAccessibility(&changed);
  }
}
