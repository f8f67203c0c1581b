#pragma once

#include <QAccessibleWidget>

class ProgressBarView;

// The progress bar as a screen reader sees it: one element, its value the percentage that
// the fill shows, its description the status text over it.
class ProgressBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit ProgressBarAccessible(ProgressBarView* bar);

  void* interface_cast(QAccessible::InterfaceType type) override;
  QString text(QAccessible::Text type) const override;
  // The fill, the frame and the text are parts of the bar, not elements of their own.
  int childCount() const override { return 0; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }

  QVariant currentValue() const override;
  void setCurrentValue(const QVariant&) override {}  // the user cannot move it
  QVariant maximumValue() const override { return 100; }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }

 private:
  ProgressBarView* Bar() const;
};
