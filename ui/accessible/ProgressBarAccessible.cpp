#include "ProgressBarAccessible.h"

#include "ProgressBarView.h"

ProgressBarAccessible::ProgressBarAccessible(ProgressBarView* bar)
    : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

ProgressBarView* ProgressBarAccessible::Bar() const {
  return static_cast<ProgressBarView*>(widget());
}

void* ProgressBarAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

QString ProgressBarAccessible::text(QAccessible::Text type) const {
  switch (type) {
    case QAccessible::Description:
      return Bar()->Text();
    case QAccessible::Value:
      return QString::number(Bar()->Percent()) + " %";
    default:
      return QAccessibleWidget::text(type);
  }
}

QVariant ProgressBarAccessible::currentValue() const { return Bar()->Percent(); }
