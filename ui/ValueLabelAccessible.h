#pragma once

#include <QAccessibleWidget>

class ValueLabel;

// A label that shows a value beside its caption: named after the caption, its text is
// its value.
class ValueLabelAccessible : public QAccessibleWidget {
 public:
  explicit ValueLabelAccessible(ValueLabel* label);
  QString text(QAccessible::Text type) const override;
};
