#include "ValueLabelAccessible.h"

#include "ValueLabel.h"

ValueLabelAccessible::ValueLabelAccessible(ValueLabel* label)
    : QAccessibleWidget(label, QAccessible::StaticText) {}

QString ValueLabelAccessible::text(QAccessible::Text type) const {
  if (type == QAccessible::Value) return static_cast<ValueLabel*>(widget())->text();
  return QAccessibleWidget::text(type);
}
