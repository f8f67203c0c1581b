#include "ValueLabelAccessible.h"

#include <QFontMetrics>
#include <QStyle>

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

QRect ValueLabelAccessible::characterRect(int offset) const {
  const QString value = Value();
  if (offset < 0 || offset >= value.size()) return {};
  const auto* label = static_cast<QLabel*>(widget());
  const QFontMetrics metrics(label->font());
  const QRect line = QStyle::alignedRect(label->layoutDirection(), label->alignment(),
                                         QSize(metrics.horizontalAdvance(value), metrics.height()),
                                         label->contentsRect());
  const QPoint at(line.left() + metrics.horizontalAdvance(value.left(offset)), line.top());
  return {label->mapToGlobal(at),
          QSize(metrics.horizontalAdvance(value.at(offset)), metrics.height())};
}

QString ValueLabelAccessible::text(int startOffset, int endOffset) const {
  return Value().mid(startOffset, endOffset - startOffset);
}
