#pragma once

#include <QAccessibleWidget>

class ClickLabel;

// A link to a screen reader, named by its text; its one action follows it.
class ClickLabelAccessible : public QAccessibleWidget {
 public:
  explicit ClickLabelAccessible(ClickLabel* label);

  QString text(QAccessible::Text type) const override;
  QStringList actionNames() const override;
  void doAction(const QString& action) override;
};
