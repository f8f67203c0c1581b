#include "ValueLabelAccessible.h"

#include <QLabel>

ValueLabelAccessible::ValueLabelAccessible(QLabel* label)
    : QAccessibleWidget(label, QAccessible::StaticText) {}

QString ValueLabelAccessible::text(QAccessible::Text type) const {
  if (type == QAccessible::Value) return static_cast<QLabel*>(widget())->text();
  return QAccessibleWidget::text(type);
}
