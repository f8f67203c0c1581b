#include "ValueLabelAccessible.h"

#include "ValueLabel.h"

ValueLabelAccessible::ValueLabelAccessible(ValueLabel* label)
    : QAccessibleWidget(label, QAccessible::StaticText) {}

QString ValueLabelAccessible::Value() const { return static_cast<ValueLabel*>(widget())->text(); }

void* ValueLabelAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

QString ValueLabelAccessible::text(QAccessible::Text type) const {
  if (type == QAccessible::Value) return Value();
  return QAccessibleWidget::text(type);
}

QString ValueLabelAccessible::text(int startOffset, int endOffset) const {
  return Value().mid(startOffset, endOffset - startOffset);
}
