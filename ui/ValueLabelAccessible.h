#pragma once

#include <QAccessibleWidget>

class QLabel;

// A label that shows a value beside its caption: named after the caption, its text is
// its value.
class ValueLabelAccessible : public QAccessibleWidget {
 public:
  // A label with this property set to true is seen so.
  static constexpr const char* kProperty = "accessibleValueLabel";

  explicit ValueLabelAccessible(QLabel* label);
  QString text(QAccessible::Text type) const override;
};
