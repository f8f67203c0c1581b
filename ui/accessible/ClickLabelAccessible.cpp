#include "ClickLabelAccessible.h"

#include "ClickLabel.h"

ClickLabelAccessible::ClickLabelAccessible(ClickLabel* label)
    : QAccessibleWidget(label, QAccessible::Link) {}

QString ClickLabelAccessible::text(QAccessible::Text type) const {
  if (type == QAccessible::Name) return static_cast<ClickLabel*>(widget())->text();
  return QAccessibleWidget::text(type);
}

QStringList ClickLabelAccessible::actionNames() const {
  return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void ClickLabelAccessible::doAction(const QString& action) {
  if (action == pressAction()) {
    emit static_cast<ClickLabel*>(widget())->clicked();
    return;
  }
  QAccessibleWidget::doAction(action);
}
